// The graph of the tab "Графики": chosen parameters drawn as lines over time on one picture that
// scrolls left as time passes, with grid lines and the minimum and maximum of each parameter over the
// last screen of time in eight slots. Drawn on a QImage, so the algorithm runs and is tested without a
// window. Settings come from the program's INI (OPTIONS/GRAPHS, sections GRAPHn). The graph is the view
// list the worker polls while the tab is shown (TListPrm: NextToPoll and removal by marking on the
// worker thread); everything else runs on the window thread.
#pragma once

#include <QImage>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "params/list_prm.h"
#include "params/visual_param.h"

namespace velmora {

class TIniFile;
class TListParams;

// Colour names of the settings and the properties dialog, 0x00BBGGRR; any other name reads as black.
uint32_t ColorFromName(std::string_view name);
// The name of a colour, "UNKNOWN" for a colour without one.
std::string ColorName(uint32_t colour);
inline constexpr const char* GraphColorNames[] = {"BLACK", "RED", "GREEN", "BLUE", "YELLOW"};

class TGraphParam : public TBaseParam {
public:
    static constexpr int MaxLines = 8;
    static constexpr int Slots = 8;

    explicit TGraphParam(TECUparam& param);
    // A graph view is drawn by its graph (TGraph::UpdateParam), which knows the picture.
    void UpdateView() override {}
    // Every slot's minimum to RangeHi and maximum to RangeLo; the next point starts a new line.
    void ClearMinMax();

    uint32_t Color = 0;
    float RangeLo = 0, RangeHi = 1;
    int16_t LastX = 0, LastY = 0;
    bool HasLastPoint = false;
    uint8_t LineCount = 0;
    std::array<float, MaxLines> Lines{};
    std::array<float, Slots> SlotMin{}, SlotMax{};
};

class TGraph : public TListPrm {
public:
    static constexpr uint16_t NoSlot = 0xFFFF;
    // The longest screen time the user can choose, seconds.
    static constexpr int MaxScreenSeconds = 9999;

    // A picture of `width` x `height` pixels; screen time 10 s, then LoadGraph(0) when `ini` is given.
    // The graph keeps the parameter set alive as long as its views may be polled.
    TGraph(int width, int height, std::shared_ptr<const TListParams> params, const TIniFile* ini);

    // Replaces the views from the settings: OPTIONS/GRAPHS (default `number`) names the section. The old
    // views are marked, so a worker polling the graph frees them.
    void LoadGraph(const TIniFile& ini, int number);
    // Appends a view of parameter `number` when the parameter set has it.
    TGraphParam* AddParam(int number);
    // Seconds across the picture, kept within 1..MaxScreenSeconds.
    void SetScreenTime(int seconds);
    void SetScrollTime(int seconds);
    // Draws the parameter's latest value.
    void UpdateParam(int number) override;
    // Clears the picture and every minimum and maximum; the next value starts the picture.
    void ResetGraph();
    // "min  max" of view `index` over the last screen time, with the parameter's decimals.
    std::string MinMaxText(size_t index) const;
    // A new picture size; the picture starts anew.
    void Resize(int width, int height);
    // Marks view `index` removed (the list that polls it frees it later) and takes it off the graph.
    void RemoveView(size_t index);

    // The picture is saved at the next scroll, so it holds a full screen; asked again, it is saved now.
    void RequestSave();
    // Writes the picture as <log folder>/<n>.bmp with the first free n (process-wide counter); false
    // with `error` when it cannot be written.
    bool SavePicture(std::string& error);

    const QImage& Image() const { return Picture; }
    // The part of the picture drawn since the last call (pixels): a new line's box, all of it after a
    // scroll, a reset or a new size. Empty when nothing was drawn.
    QRect TakeChanged() { return std::exchange(Changed, QRect()); }
    // The view at `index` among those not marked; index < Count().
    TGraphParam& View(size_t index) const;
    bool HasParams = false;
    bool SavePending = false;
    uint32_t StartTick = 0;
    uint32_t MinMaxStart = 0;
    uint16_t CurrentSlot = NoSlot;
    int16_t OneSecondPoints = 0;
    uint32_t ScreenTimeMs = 0;
    uint32_t ScrollMs = 0;
    int Selected = 0;

    // The picture saved last (empty before the first).
    std::filesystem::path LastPicture;
    // The folder pictures are saved in (the connection's log folder).
    std::function<std::filesystem::path()> PictureFolder;
    // Called when a new min/max slot began or a save finished, so the window refreshes its labels.
    std::function<void()> OnMinMaxChange;
    std::function<void()> OnSaveDone;

private:
    // The views not marked, in order. Only the window thread marks views, so the pointers stay valid
    // until it next removes one.
    std::vector<TGraphParam*> GraphViews() const;
    int Y(const TGraphParam& view, float value) const;
    // Scrolls the picture when `tick` passed its right edge; returns the first column cleared, or -1.
    int Scroll(uint32_t tick);
    void UpdateMinMax(TGraphParam& view, uint32_t tick, float value);
    void DrawGrid(int fromColumn);

    std::shared_ptr<const TListParams> Params;
    QImage Picture;
    QRect Changed;
};

} // namespace velmora

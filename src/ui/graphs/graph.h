// The graph of the tab "Графики": chosen parameters drawn as lines over time on one picture that
// scrolls left as time passes, with grid lines and the minimum and maximum of each parameter over the
// last screen of time in eight slots; the curves lie over each other or each in a lane of its own, on a
// fixed or an autoscaled range. Every value is also kept for 30 minutes, so the picture can be drawn
// again (a new range draws no false jump), frozen, zoomed and panned, and read under a cursor (those
// parts are in graph_review.cpp). Drawn on a QImage, so the algorithm runs and is tested without a
// window. Settings come from the program's INI (OPTIONS/GRAPHS, sections GRAPHn). The graph is the view
// list the worker polls while the tab is shown (TListPrm: NextToPoll and removal by marking on the
// worker thread); everything else runs on the window thread.
#pragma once

#include <QImage>
#include <array>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "params/list_prm.h"
#include "params/visual_param.h"

class QPainter;

namespace velmora {

class TIniFile;
class TListParams;

// Colour names of the settings and the properties dialog, 0x00BBGGRR; any other name reads as black.
uint32_t ColorFromName(std::string_view name);
// The name of a colour, "UNKNOWN" for a colour without one.
std::string ColorName(uint32_t colour);
// The first five are the old names settings files hold; the rest name the curve palette.
inline constexpr const char* GraphColorNames[] = {"BLACK",  "RED",       "GREEN",    "BLUE",
                                                  "YELLOW", "VERMILION", "DEEPBLUE", "TEAL",
                                                  "PURPLE", "ORANGE",    "SKYBLUE",  "GREY"};
// Colours for up to eight curves (0x00BBGGRR), in the order new curves take them: hues that stay apart
// for the common kinds of colour blindness, none too light for a white picture.
inline constexpr uint32_t CurvePalette[] = {0x005ED5, 0xB27200, 0x739E00, 0xA779CC,
                                            0x009FE6, 0xE9B456, 0x000000, 0x808080};

// One value a curve was given, kept for redrawing, the cursor and looking back. A NaN value marks where
// the line was broken (the next value starts a new line). 8 bytes per value.
struct TGraphSample {
    uint32_t Tick;
    float Value;
};

class TGraphParam : public TBaseParam {
public:
    static constexpr int MaxLines = 8;
    static constexpr int Slots = 8;

    explicit TGraphParam(TECUparam& param);
    // A graph view is drawn by its graph (TGraph::UpdateParam), which knows the picture.
    void UpdateView() override {}
    // Every slot's minimum to RangeHi and maximum to RangeLo; the next point starts a new line.
    void ClearMinMax();

    // The range drawn: the fixed one, or with AutoScale the one fitted to the values shown.
    float Lo() const { return AutoScale ? AutoLo : RangeLo; }
    float Hi() const { return AutoScale ? AutoHi : RangeHi; }

    uint32_t Color = 0;
    float RangeLo = 0, RangeHi = 1;
    bool AutoScale = false;
    float AutoLo = 0, AutoHi = 1;
    // The lane the curve is drawn in when the graph shows lanes (curves with the same number share one).
    int Lane = 0;
    // Where the lane lies on the picture (pixels), set by the graph.
    int BandTop = 0, BandHeight = 1;
    // The values of the time kept (TGraph::KeepMs), oldest first. Window thread only.
    std::deque<TGraphSample> History;
    int16_t LastX = 0, LastY = 0;
    bool HasLastPoint = false;
    uint8_t LineCount = 0;
    std::array<float, MaxLines> Lines{};
    std::array<float, Slots> SlotMin{}, SlotMax{};
};

// A second recording's curves, drawn dashed over the graph's own in their parameters' colours, for
// comparing two sessions (before and after a repair).
struct TGraphOverlay {
    std::string Name;     // the legend's text for the dashed curves
    std::string MainName; // and for the graph's own, solid ones
    // Per parameter number its values, ticks in ms of the second recording's own clock, by tick.
    std::map<int, std::vector<TGraphSample>> Curves;
    // The graph's tick at which the second recording's 0 ms lies (its start, moved by the user's offset).
    uint32_t StartTick = 0;
};

class TGraph : public TListPrm {
public:
    static constexpr uint16_t NoSlot = 0xFFFF;
    // The longest screen time the user can choose, seconds.
    static constexpr int MaxScreenSeconds = 9999;
    // How far back values are kept for looking back (ms): 30 minutes.
    static constexpr uint32_t KeepMs = 30 * 60 * 1000;
    // The shortest time the picture can be zoomed to (ms).
    static constexpr uint32_t MinSpanMs = 500;

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
    // ResetGraph, and the kept values go too (a replay jumped: the values come again, older ones first).
    void ForgetValues();
    // "min  max" of view `index` over the last screen time, with the parameter's decimals.
    std::string MinMaxText(size_t index) const;
    // A new picture size; the picture starts anew.
    void Resize(int width, int height);
    // Marks view `index` removed (the list that polls it frees it later) and takes it off the graph.
    void RemoveView(size_t index);

    // Each curve in a lane of its own (curves with the same Lane share one) instead of all over each other.
    void SetLanes(bool lanes);
    bool Lanes() const { return LanesOn; }
    void SetAutoScale(TGraphParam& view, bool on);
    // Draws the picture again from the kept values (after a new range, colour or lane).
    void Redraw();
    // Rows of pixels kept free above and below the curves (the time labels go below).
    void SetMargins(int top, int bottom);
    // Line width in pixels.
    void SetPenWidth(int width);
    // The first colour of the palette no curve has, or the palette in turn when all are taken.
    uint32_t FreeColor() const;

    // A frozen graph keeps taking values but draws the time chosen by Zoom and Pan; unfrozen it shows the
    // running picture again, with what came meanwhile.
    void Freeze(bool frozen);
    bool Frozen() const { return IsFrozen; }
    // Time shown across the picture: its left edge and length (ms).
    uint32_t ShownStart() const;
    uint32_t ShownSpan() const;
    // Zoom by `factor` (below 1 shows less time) keeping the time at column `x` in place; freezes.
    void Zoom(double factor, int x);
    // Moves the time shown by `pixels` (positive: back in time); freezes.
    void Pan(int pixels);
    // The tick of the newest value (0 before the first).
    uint32_t NewestTick() const { return LatestTick; }
    // The tick shown at column x.
    uint32_t TickAt(int x) const;
    // The value `view` had at `tick` (its last value at or before it), none before its first or in a gap.
    std::optional<float> ValueAt(const TGraphParam& view, uint32_t tick) const;
    // The row of `value` in the view's range and band.
    int ValueY(const TGraphParam& view, float value) const { return Y(view, value); }
    int PlotTop() const { return TopMargin; }
    int PlotBottom() const { return Picture.height() - 1 - BottomMargin; }

    // The dashed curves of a second recording (none: nullopt); the picture is drawn again.
    void SetOverlay(std::optional<TGraphOverlay> overlay);
    const std::optional<TGraphOverlay>& Overlay() const { return Comparison; }
    // Moves the second recording's start to `tick` of the graph's clock.
    void SetOverlayStart(uint32_t tick);
    // The second recording's value of `view`'s parameter at `tick` of the graph's clock.
    std::optional<float> OverlayValueAt(const TGraphParam& view, uint32_t tick) const;

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
    // Places every view's band (the whole plot, or its lane).
    void LayOut();
    void Record(TGraphParam& view, uint32_t tick, float value);
    // Fits the autoscaled views to the values between `from` and `to`; true when a range changed.
    bool FitRanges(uint32_t from, uint32_t to, bool growOnly);
    // Draws the time from `from` over `span` ms from the kept values; returns nothing.
    void Render(uint32_t from, uint32_t span);
    // Draws `samples` (ticks + `shift` on the graph's clock) of `view` over the time from `from` across
    // `span` ms, at most four points per pixel column, with the painter's pen.
    template <typename TSamples>
    void DrawSamples(QPainter& painter, const TGraphParam& view, const TSamples& samples, uint32_t shift,
                     uint32_t from, uint32_t span) const;
    // The second recording's curves from column `fromColumn` on.
    void DrawOverlay(QPainter& painter, int fromColumn, uint32_t from, uint32_t span) const;
    // The running picture again from the kept values, line ends set so drawing goes on.
    void RenderLive();
    // Scrolls the picture when `tick` passed its right edge; returns the first column cleared, or -1.
    int Scroll(uint32_t tick);
    void UpdateMinMax(TGraphParam& view, uint32_t tick, float value);
    void DrawGrid(int fromColumn);

    std::shared_ptr<const TListParams> Params;
    std::optional<TGraphOverlay> Comparison;
    QImage Picture;
    QRect Changed;
    bool LanesOn = false;
    bool IsFrozen = false;
    uint32_t FrozenEnd = 0, FrozenSpan = 0;
    uint32_t LatestTick = 0;
    int TopMargin = 0, BottomMargin = 0;
    int PenWidth = 1;
};

} // namespace velmora

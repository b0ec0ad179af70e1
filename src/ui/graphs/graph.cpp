#include "ui/graphs/graph.h"

#include <QPainter>
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>

#include "lang/dictionary.h"
#include "params/param_list.h"
#include "platform/host.h"
#include "platform/ini_file.h"
#include "platform/utf8_path.h"
#include "ui/common/widget_colors.h"

namespace velmora {

namespace {

struct TColorRow {
    const char* Name;
    uint32_t Value;
};

constexpr TColorRow ColorRows[] = {
    {"BLACK", 0x000000},  {"RED", 0x0000FF},       {"GREEN", 0x008000},    {"BLUE", 0xFF0000},
    {"YELLOW", 0x00FFFF}, {"VERMILION", 0x005ED5}, {"DEEPBLUE", 0xB27200}, {"TEAL", 0x739E00},
    {"PURPLE", 0xA779CC}, {"ORANGE", 0x009FE6},    {"SKYBLUE", 0xE9B456},  {"GREY", 0x808080},
};

constexpr float Inf = std::numeric_limits<float>::infinity();

// The slot start values: an autoscaled curve has no fixed range to start from.
void ResetSlot(TGraphParam& view, size_t slot) {
    view.SlotMin[slot] = view.AutoScale ? Inf : view.RangeHi;
    view.SlotMax[slot] = view.AutoScale ? -Inf : view.RangeLo;
}

constexpr int DefaultScreenSeconds = 10;
constexpr int MaxShift = 32767; // pixels

// Picture names count up for the whole run.
std::atomic<int> pictureCounter{0};

std::string Upper(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return result;
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// A decimal number with '.' or ',' as the decimal mark, the whole word; nothing otherwise.
std::optional<float> ReadFloat(std::string word) {
    std::replace(word.begin(), word.end(), ',', '.');
    char* end = nullptr;
    float value = std::strtof(word.c_str(), &end);
    if (word.empty() || *end != '\0' || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// RANGE: runs of decimal digits, split at every other character (so signs and decimal marks separate):
// the first run sets the bottom value, every later non-empty one the top value.
void ReadRange(const std::string& text, TGraphParam& view) {
    std::string run;
    bool first = true;
    auto flush = [&] {
        if (!run.empty()) {
            float value = float(std::strtod(run.c_str(), nullptr));
            (first ? view.RangeLo : view.RangeHi) = value;
            if (view.RangeLo == view.RangeHi)
                view.RangeHi = view.RangeLo + 1;
        }
        run.clear();
        first = false;
    };
    for (char c : text) {
        if (c >= '0' && c <= '9')
            run += c;
        else
            flush();
    }
    flush();
    // A range written top first would leave the picture upside down and the clamp of a value without
    // meaning: the two ends are taken in their order.
    if (view.RangeLo > view.RangeHi)
        std::swap(view.RangeLo, view.RangeHi);
}

} // namespace

uint32_t ColorFromName(std::string_view name) {
    std::string upper = Upper(name);
    for (const TColorRow& row : ColorRows) {
        if (upper == row.Name)
            return row.Value;
    }
    return 0x000000;
}

std::string ColorName(uint32_t colour) {
    for (const TColorRow& row : ColorRows) {
        if (row.Value == colour)
            return row.Name;
    }
    return "UNKNOWN";
}

TGraphParam::TGraphParam(TECUparam& param) : TBaseParam(param) {
    RangeLo = param.RangeMin();
    RangeHi = param.RangeMax();
    if (RangeLo == RangeHi)
        RangeHi = RangeLo + 1;
    ClearMinMax();
}

void TGraphParam::ClearMinMax() {
    for (size_t slot = 0; slot < Slots; ++slot)
        ResetSlot(*this, slot);
    HasLastPoint = false;
}

TGraph::TGraph(int width, int height, std::shared_ptr<const TListParams> params, const TIniFile* ini)
    : Params(std::move(params)), Picture(std::max(width, 2), std::max(height, 2), QImage::Format_RGB32) {
    Picture.fill(Qt::white);
    SetScreenTime(DefaultScreenSeconds);
    SetScrollTime(int(ScreenTimeMs / 4000));
    LayOut();
    if (ini)
        LoadGraph(*ini, 0);
}

void TGraph::LoadGraph(const TIniFile& ini, int number) {
    for (TGraphParam* view : GraphViews())
        view->Mark();
    number = ini.ReadInteger("OPTIONS", "GRAPHS", number);
    std::string section = "GRAPH" + std::to_string(number);
    SetScreenTime(ini.ReadInteger(section, "SCREEN_TIME", DefaultScreenSeconds));
    SetScrollTime(ini.ReadInteger(section, "SCREEN_OFFSET", 0));
    LanesOn = ini.ReadInteger(section, "LANES", 0) != 0;
    for (const std::string& word : Words(ini.ReadString(section, "SOURCE", ""))) {
        if (!std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
            word.size() > 3)
            continue;
        int n = std::stoi(word);
        if (n > 255)
            continue;
        TGraphParam* view = AddParam(n);
        if (!view)
            continue;
        std::string key = Upper(word);
        // A curve without a colour keeps the free palette colour it was given, so no two share black.
        if (ini.KeyExists(section, "COLOR" + key))
            view->Color = ColorFromName(ini.ReadString(section, "COLOR" + key, ""));
        ReadRange(ini.ReadString(section, "RANGE" + key, ""), *view);
        view->AutoScale = ini.ReadInteger(section, "AUTO" + key, 0) != 0;
        view->AutoLo = view->RangeLo;
        view->AutoHi = view->RangeHi;
        view->Lane = std::clamp(ini.ReadInteger(section, "LANE" + key, view->Lane), 0, 255);
        for (const std::string& line : Words(ini.ReadString(section, "LINES" + key, ""))) {
            std::optional<float> value = ReadFloat(line);
            if (value && view->LineCount < TGraphParam::MaxLines)
                view->Lines[view->LineCount++] = *value;
        }
        view->ClearMinMax();
    }
    HasParams = Count() > 0;
    LayOut();
    ResetGraph();
}

TGraphParam* TGraph::AddParam(int number) {
    TECUparam* param = Params->FindByNumber(number);
    if (!param)
        return nullptr;
    uint32_t colour = FreeColor();
    int lane = 0;
    for (TGraphParam* other : GraphViews())
        lane = std::max(lane, other->Lane + 1);
    auto& view = static_cast<TGraphParam&>(Add(std::make_unique<TGraphParam>(*param)));
    view.Color = colour;
    view.Lane = lane;
    HasParams = true;
    LayOut();
    if (LanesOn || IsFrozen)
        Redraw();
    return &view;
}

void TGraph::SetScreenTime(int seconds) {
    // Seconds beyond the dialog's limit would overflow the milliseconds (536870912 s wraps to 0 ms).
    seconds = std::clamp(seconds, 1, MaxScreenSeconds);
    ScreenTimeMs = uint32_t(seconds) * 1000;
    OneSecondPoints = int16_t(std::min(Picture.width() / seconds, MaxShift));
    SetScrollTime(seconds / 4);
}

void TGraph::SetScrollTime(int seconds) {
    int64_t v = int64_t(seconds) * 1000;
    ScrollMs = (ScreenTimeMs / 10 <= v && v <= ScreenTimeMs / 2) ? uint32_t(v) : ScreenTimeMs / 4;
    // The scroll should be a whole number of pixels: the candidate with the smallest remainder of
    // candidate x W / ScreenTimeMs wins, the later one on a tie.
    int64_t spread = ScrollMs / 10;
    int64_t best = ScrollMs;
    int64_t bestRest = std::numeric_limits<int64_t>::max();
    for (int64_t candidate = ScrollMs - spread; candidate <= ScrollMs + spread; ++candidate) {
        int64_t rest = (candidate * Picture.width()) % ScreenTimeMs;
        if (rest <= bestRest) {
            best = candidate;
            bestRest = rest;
        }
    }
    ScrollMs = uint32_t(std::max<int64_t>(best, 1));
}

std::vector<TGraphParam*> TGraph::GraphViews() const {
    std::vector<TGraphParam*> views;
    ForEachView([&](TBaseParam& view) { views.push_back(static_cast<TGraphParam*>(&view)); });
    return views;
}

TGraphParam& TGraph::View(size_t index) const {
    return *GraphViews().at(index);
}

int TGraph::Y(const TGraphParam& view, float value) const {
    int h = view.BandHeight;
    return view.BandTop +
           int(std::lround((value - view.Lo()) * -(h - 1) / (view.Hi() - view.Lo()) + (h - 1)));
}

void TGraph::LayOut() {
    std::vector<TGraphParam*> views = GraphViews();
    int top = std::clamp(TopMargin, 0, Picture.height() - 2);
    int height = std::max(Picture.height() - top - std::max(BottomMargin, 0), 2);
    std::vector<int> lanes;
    for (TGraphParam* view : views)
        lanes.push_back(view->Lane);
    std::sort(lanes.begin(), lanes.end());
    lanes.erase(std::unique(lanes.begin(), lanes.end()), lanes.end());
    int n = LanesOn ? std::max<int>(int(lanes.size()), 1) : 1;
    int gap = n > 1 ? std::min(6, height / n / 4) : 0; // pixels between two lanes
    for (TGraphParam* view : views) {
        int k = LanesOn ? int(std::lower_bound(lanes.begin(), lanes.end(), view->Lane) - lanes.begin()) : 0;
        view->BandTop = top + height * k / n;
        view->BandHeight = std::max(top + height * (k + 1) / n - view->BandTop - gap, 2);
    }
}

uint32_t TGraph::FreeColor() const {
    std::vector<TGraphParam*> views = GraphViews();
    for (uint32_t colour : CurvePalette)
        if (std::none_of(views.begin(), views.end(), [colour](TGraphParam* v) { return v->Color == colour; }))
            return colour;
    return CurvePalette[views.size() % std::size(CurvePalette)];
}

int TGraph::Scroll(uint32_t tick) {
    if (tick - StartTick < ScreenTimeMs || int32_t(tick - StartTick) < 0)
        return -1;
    uint64_t k = (uint64_t(tick - StartTick - ScreenTimeMs) / ScrollMs + 1) * ScrollMs;
    if (SavePending) {
        std::string error;
        if (!SavePicture(error))
            AddLog(error);
    }
    StartTick += uint32_t(k);
    int w = Picture.width();
    int64_t d = std::min<int64_t>(std::llround(double(k) * OneSecondPoints / 1000.0), MaxShift);
    if (d < w - 1) {
        QImage shifted(Picture.size(), Picture.format());
        shifted.fill(Qt::white);
        QPainter painter(&shifted);
        painter.drawImage(0, 0, Picture, int(d), 0, w - int(d), Picture.height());
        painter.fillRect(w - 1 - int(d), 0, int(d) + 1, Picture.height(), Qt::white);
        painter.end();
        Picture = shifted;
        for (TGraphParam* view : GraphViews()) {
            // A line end that scrolled a whole picture off the left edge is forgotten: a view that got
            // no value for minutes starts a new line instead of one across the picture (or, once the
            // 16-bit position wrapped, from the right edge).
            if (view->LastX - d < -w)
                view->HasLastPoint = false;
            else
                view->LastX = int16_t(view->LastX - d);
        }
        return w - 1 - int(d);
    }
    for (TGraphParam* view : GraphViews())
        view->HasLastPoint = false;
    StartTick = tick;
    Picture.fill(Qt::white);
    return 0;
}

void TGraph::UpdateMinMax(TGraphParam& view, uint32_t tick, float value) {
    if (tick - MinMaxStart >= ScreenTimeMs && int32_t(tick - MinMaxStart) > 0)
        MinMaxStart += (tick - MinMaxStart) / ScreenTimeMs * ScreenTimeMs;
    uint32_t slotMs = std::max<uint32_t>(ScreenTimeMs / TGraphParam::Slots, 1);
    uint16_t slot = uint16_t((tick - MinMaxStart) / slotMs % TGraphParam::Slots);
    bool changed = slot != CurrentSlot;
    if (changed) {
        for (TGraphParam* other : GraphViews())
            ResetSlot(*other, slot);
        CurrentSlot = slot;
    }
    view.SlotMax[slot] = std::max(view.SlotMax[slot], value);
    view.SlotMin[slot] = std::min(view.SlotMin[slot], value);
    if (changed && OnMinMaxChange)
        OnMinMaxChange();
}

void TGraph::DrawGrid(int fromColumn) {
    QPainter painter(&Picture);
    int right = Picture.width() - 1;
    for (TGraphParam* view : GraphViews()) {
        painter.setPen(QPen(FromBgr(view->Color), 1, Qt::DashLine));
        for (int i = 0; i < view->LineCount; ++i) {
            float g = view->Lines[size_t(i)];
            if (g < view->Lo() || g > view->Hi())
                continue;
            int y = Y(*view, g);
            painter.drawLine(fromColumn, y, right, y);
        }
    }
}

void TGraph::UpdateParam(int number) {
    if (number > 255)
        return;
    auto* found = static_cast<TGraphParam*>(FindByNumber(number));
    if (!found || found->Param.LastTick == 0)
        return;
    TGraphParam& view = *found;
    float value = view.Param.AsSingle();
    uint32_t tick = view.Param.LastTick;

    if (IsFrozen) {
        // Shown later: the values are kept and counted, the picture stays as the user looks at it.
        if (StartTick == 0)
            StartTick = MinMaxStart = tick;
        Record(view, tick, value);
        UpdateMinMax(view, tick, std::clamp(value, view.Lo(), view.Hi()));
        return;
    }

    int gridFrom = -1;
    if (StartTick == 0) {
        StartTick = MinMaxStart = tick;
        for (TGraphParam* v : GraphViews())
            v->ClearMinMax();
        gridFrom = 0;
    }
    if (int cleared = Scroll(tick); cleared >= 0)
        gridFrom = cleared;

    int64_t offset = int64_t(int32_t(tick - StartTick));
    int64_t x = std::llround(double(offset) * Picture.width() / ScreenTimeMs);
    if (x < std::numeric_limits<int16_t>::min() || x > std::numeric_limits<int16_t>::max()) {
        char text[128];
        std::snprintf(text, sizeof text, "OneSecondPoints %d * (Tick %u - Tick_start %u )",
                      int(OneSecondPoints), tick, StartTick);
        AddLog(text);
        x = std::clamp<int64_t>(x, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max());
    }
    Record(view, tick, value);
    // A new range draws the picture again from the kept values: a line from a point of the old scale to
    // one of the new would show a jump the engine never made.
    bool refit = gridFrom >= 0 ? FitRanges(StartTick, StartTick + ScreenTimeMs, false)
                               : view.AutoScale && (value < view.AutoLo || value > view.AutoHi) &&
                                     FitRanges(StartTick, StartTick + ScreenTimeMs, true);
    value = std::clamp(value, std::min(view.Lo(), view.Hi()), std::max(view.Lo(), view.Hi()));
    UpdateMinMax(view, tick, value);
    if (refit) {
        RenderLive();
        return;
    }
    if (gridFrom >= 0) {
        DrawGrid(gridFrom);
        if (Comparison) {
            QPainter painter(&Picture);
            DrawOverlay(painter, gridFrom, StartTick, ScreenTimeMs);
        }
        Changed = Picture.rect(); // a new picture, or the old one moved left
    }

    int y = Y(view, value);
    if (view.HasLastPoint) {
        QPainter painter(&Picture);
        painter.setPen(QPen(FromBgr(view.Color), PenWidth, Qt::SolidLine));
        painter.drawLine(view.LastX, view.LastY, int(x), y);
        Changed |= QRect(QPoint(view.LastX, view.LastY), QPoint(int(x), y))
                       .normalized()
                       .adjusted(-PenWidth, -PenWidth, PenWidth, PenWidth);
    }
    view.LastX = int16_t(x);
    view.LastY = int16_t(y);
    view.HasLastPoint = true;
}

void TGraph::ResetGraph() {
    StartTick = 0;
    MinMaxStart = 0;
    CurrentSlot = NoSlot;
    Picture.fill(Qt::white);
    Changed = Picture.rect();
    for (TGraphParam* view : GraphViews())
        view->ClearMinMax();
}

std::string TGraph::MinMaxText(size_t index) const {
    std::vector<TGraphParam*> views = GraphViews();
    if (index >= views.size())
        return {};
    const TGraphParam& view = *views[index];
    float lo = *std::min_element(view.SlotMin.begin(), view.SlotMin.end());
    float hi = *std::max_element(view.SlotMax.begin(), view.SlotMax.end());
    if (lo > hi)
        return {}; // no value yet
    int decimals = view.Param.Decimals;
    char text[96];
    std::snprintf(text, sizeof text, "%.*f  %.*f", decimals, double(lo), decimals, double(hi));
    return text;
}

void TGraph::Resize(int width, int height) {
    Picture = QImage(std::max(width, 2), std::max(height, 2), QImage::Format_RGB32);
    SetScreenTime(int(ScreenTimeMs / 1000));
    LayOut();
    ResetGraph();
}

void TGraph::RemoveView(size_t index) {
    std::vector<TGraphParam*> views = GraphViews();
    if (index >= views.size())
        return;
    views[index]->Mark();
    HasParams = Count() > 0;
    LayOut();
    if (LanesOn || IsFrozen)
        Redraw();
}

void TGraph::RequestSave() {
    if (SavePending) {
        std::string error;
        if (!SavePicture(error))
            Host().MessageBox(error, TMsgKind::Error, TMsgButtons::Ok);
        return;
    }
    SavePending = true;
}

bool TGraph::SavePicture(std::string& error) {
    SavePending = false;
    std::filesystem::path folder =
        PictureFolder ? PictureFolder() : Utf8Path(BuildPath("", "LOGS", "", true));
    std::filesystem::path file;
    do {
        file = folder / Utf8Path(std::to_string(pictureCounter++) + ".bmp");
    } while (std::filesystem::exists(file));
    bool ok = Picture.save(QString::fromStdString(file.string()), "BMP");
    if (ok)
        LastPicture = file;
    else
        error = Translate("Не удалось записать файл") + " " + file.string();
    if (OnSaveDone)
        OnSaveDone();
    return ok;
}

} // namespace velmora

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
    {"BLACK", 0x000000}, {"RED", 0x0000FF}, {"GREEN", 0x008000}, {"BLUE", 0xFF0000}, {"YELLOW", 0x00FFFF},
};

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
    SlotMin.fill(RangeHi);
    SlotMax.fill(RangeLo);
    HasLastPoint = false;
}

TGraph::TGraph(int width, int height, std::shared_ptr<const TListParams> params, const TIniFile* ini)
    : Params(std::move(params)), Picture(std::max(width, 2), std::max(height, 2), QImage::Format_RGB32) {
    Picture.fill(Qt::white);
    SetScreenTime(DefaultScreenSeconds);
    SetScrollTime(int(ScreenTimeMs / 4000));
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
        view->Color = ColorFromName(ini.ReadString(section, "COLOR" + key, ""));
        ReadRange(ini.ReadString(section, "RANGE" + key, ""), *view);
        for (const std::string& line : Words(ini.ReadString(section, "LINES" + key, ""))) {
            std::optional<float> value = ReadFloat(line);
            if (value && view->LineCount < TGraphParam::MaxLines)
                view->Lines[view->LineCount++] = *value;
        }
        view->ClearMinMax();
    }
    HasParams = Count() > 0;
    ResetGraph();
}

TGraphParam* TGraph::AddParam(int number) {
    TECUparam* param = Params->FindByNumber(number);
    if (!param)
        return nullptr;
    auto& view = static_cast<TGraphParam&>(Add(std::make_unique<TGraphParam>(*param)));
    HasParams = true;
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
    int h = Picture.height();
    return int(std::lround((value - view.RangeLo) * -(h - 1) / (view.RangeHi - view.RangeLo) + (h - 1)));
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
        for (TGraphParam* other : GraphViews()) {
            other->SlotMin[slot] = other->RangeHi;
            other->SlotMax[slot] = other->RangeLo;
        }
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
            if (g < view->RangeLo || g > view->RangeHi)
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
    value = std::clamp(value, std::min(view.RangeLo, view.RangeHi), std::max(view.RangeLo, view.RangeHi));
    UpdateMinMax(view, tick, value);
    if (gridFrom >= 0) {
        DrawGrid(gridFrom);
        Changed = Picture.rect(); // a new picture, or the old one moved left
    }

    int y = Y(view, value);
    if (view.HasLastPoint) {
        QPainter painter(&Picture);
        painter.setPen(QPen(FromBgr(view.Color), 1, Qt::SolidLine));
        painter.drawLine(view.LastX, view.LastY, int(x), y);
        Changed |= QRect(QPoint(view.LastX, view.LastY), QPoint(int(x), y)).normalized();
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
    int decimals = view.Param.Decimals;
    char text[96];
    std::snprintf(text, sizeof text, "%.*f  %.*f", decimals, double(lo), decimals, double(hi));
    return text;
}

void TGraph::Resize(int width, int height) {
    Picture = QImage(std::max(width, 2), std::max(height, 2), QImage::Format_RGB32);
    SetScreenTime(int(ScreenTimeMs / 1000));
    ResetGraph();
}

void TGraph::RemoveView(size_t index) {
    std::vector<TGraphParam*> views = GraphViews();
    if (index >= views.size())
        return;
    views[index]->Mark();
    HasParams = Count() > 0;
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

#include "ui/history/history_form.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "faults/fault_texts.h"
#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "ui/common/widget_colors.h"

namespace velmora {

namespace {

QString Tr(const char* russian) {
    return QString::fromStdString(Translate(russian));
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Where a tree line keeps its file.
constexpr int PathRole = Qt::UserRole;
constexpr int FileKindRole = Qt::UserRole + 1;
constexpr int MissingRole = Qt::UserRole + 2;

// Files handed on as recordings rather than opened in a viewer.
bool IsRecording(const QString& kind) {
    return kind == "exchange_log" || kind == "recording";
}

} // namespace

THistoryForm::THistoryForm(std::unique_ptr<THistoryStore> store, std::string problem, THistoryKey by,
                           std::string key, QWidget* parent)
    : QDialog(parent), Store(std::move(store)), Problem(std::move(problem)), Wanted(std::move(key)) {
    setObjectName("FormHistory");
    setWindowTitle(Tr("История автомобиля"));
    resize(980, 560);
    OpenFile = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    cbBy = new QComboBox;
    cbBy->setObjectName("cbBy");
    cbBy->addItem(Tr("По автомобилю"));
    cbBy->addItem(Tr("По клиенту"));
    cbBy->setCurrentIndex(by == THistoryKey::Client ? 1 : 0);
    edSearch = new QLineEdit;
    edSearch->setObjectName("edSearch");
    edSearch->setPlaceholderText(Tr("Поиск: VIN, идентификация или клиент"));
    edSearch->setClearButtonEnabled(true);
    auto* reload = new QPushButton(Tr("Обновить"));
    reload->setObjectName("btnReload");
    top->addWidget(cbBy);
    top->addWidget(edSearch, 1);
    top->addWidget(reload);
    layout->addLayout(top);

    labMessage = new QLabel;
    labMessage->setObjectName("labMessage");
    labMessage->setWordWrap(true);
    labMessage->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labMessage->hide();
    layout->addWidget(labMessage);

    auto* split = new QSplitter;
    lbKeys = new QListWidget;
    lbKeys->setObjectName("lbKeys");
    tvVisits = new QTreeWidget;
    tvVisits->setObjectName("tvVisits");
    tvVisits->setHeaderLabels(
        {Tr("Дата"), Tr("Клиент"), Tr("Автомобиль"), Tr("Блок управления"), Tr("Пробег автомобиля")});
    tvVisits->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    split->addWidget(lbKeys);
    split->addWidget(tvVisits);
    split->setStretchFactor(1, 3);
    layout->addWidget(split, 1);

    auto* bottom = new QHBoxLayout;
    btnOpen = new QPushButton(Tr("Открыть файл"));
    btnOpen->setObjectName("btnOpen");
    btnOpen->setEnabled(false);
    auto* close = new QPushButton(Tr("Закрыть"));
    bottom->addStretch(1);
    bottom->addWidget(btnOpen);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    connect(cbBy, &QComboBox::currentIndexChanged, this, [this] {
        Wanted.clear();
        FillKeys();
    });
    connect(edSearch, &QLineEdit::textChanged, this, [this] { FillKeys(); });
    connect(reload, &QPushButton::clicked, this, [this] { Reload(); });
    connect(lbKeys, &QListWidget::currentRowChanged, this, [this] { FillVisits(); });
    connect(tvVisits, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        btnOpen->setEnabled(item && !item->data(0, PathRole).toString().isEmpty());
    });
    connect(tvVisits, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { OpenItem(item); });
    connect(btnOpen, &QPushButton::clicked, this, [this] { OpenItem(tvVisits->currentItem()); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    Reload();
}

THistoryForm::~THistoryForm() = default;

THistoryKey THistoryForm::Kind() const {
    return cbBy->currentIndex() == 1 ? THistoryKey::Client : THistoryKey::Car;
}

void THistoryForm::ShowMessage(const std::string& text, bool problem) {
    labMessage->setText(Q(text));
    labMessage->setStyleSheet(problem ? QString("color: %1; font-weight: bold").arg(ColorRed.name())
                                      : QString());
    labMessage->setVisible(!text.empty());
}

bool THistoryForm::Reload() {
    All.clear();
    Readable = false;
    std::string error;
    if (!Store) {
        ShowMessage(Problem.empty() ? Translate("История визитов не ведётся (HISTORY_BACKEND=OFF)")
                                    : TranslateFormat("История визитов недоступна: %s", Problem.c_str()),
                    true);
    } else if (!Store->Open(error)) {
        ShowMessage(
            TranslateFormat("История визитов недоступна (%s): %s", Store->Where().c_str(), error.c_str()),
            true);
    } else {
        All = Store->Visits({}, error);
        if (!error.empty()) {
            All.clear();
            ShowMessage(
                TranslateFormat("История визитов недоступна (%s): %s", Store->Where().c_str(), error.c_str()),
                true);
        } else {
            Readable = true;
            ShowMessage(All.empty() ? Translate("В истории ещё нет ни одного визита") : std::string(), false);
        }
    }
    lbKeys->setEnabled(Readable);
    edSearch->setEnabled(Readable);
    cbBy->setEnabled(Readable);
    FillKeys();
    return Readable;
}

void THistoryForm::FillKeys() {
    const QString previous = lbKeys->currentItem() ? lbKeys->currentItem()->text() : QString();
    const QString wanted = Wanted.empty() ? previous : Q(Wanted);
    QSignalBlocker block(lbKeys);
    lbKeys->clear();
    for (const std::string& key : HistoryKeys(All, Kind(), edSearch->text().trimmed().toStdString()))
        lbKeys->addItem(Q(key));
    int row = lbKeys->count() > 0 ? 0 : -1;
    if (!wanted.isEmpty()) {
        const QList<QListWidgetItem*> found = lbKeys->findItems(wanted, Qt::MatchExactly);
        if (!found.isEmpty())
            row = lbKeys->row(found.front());
        else if (!Wanted.empty() && Readable)
            // The car of the connection has no visit yet: said so instead of showing another car's.
            row = -1;
    }
    lbKeys->setCurrentRow(row);
    if (row < 0 && !Wanted.empty() && Readable && edSearch->text().isEmpty())
        ShowMessage(Kind() == THistoryKey::Car
                        ? TranslateFormat("Автомобиль %s в истории ещё не встречался", Wanted.c_str())
                        : TranslateFormat("Клиент %s в истории ещё не встречался", Wanted.c_str()),
                    false);
    Wanted.clear();
    FillVisits();
}

std::string THistoryForm::FaultText(const std::string& unit, int code) {
    const uint8_t type = UnitTypeOfText(unit);
    auto cached = std::find_if(TextCache.begin(), TextCache.end(),
                               [&](const auto& entry) { return entry.first == type; });
    if (cached == TextCache.end()) {
        const TFaultTexts texts = LoadFaultTexts(type, Language() == 'R', Language());
        TextCache.push_back({type, texts.Texts});
        cached = std::prev(TextCache.end());
    }
    return code >= 0 && size_t(code) < cached->second.size() ? cached->second[size_t(code)] : std::string();
}

void THistoryForm::FillVisits() {
    tvVisits->clear();
    btnOpen->setEnabled(false);
    QListWidgetItem* current = lbKeys->currentItem();
    if (!current)
        return;
    const auto text = [this](const std::string& unit, int code) { return FaultText(unit, code); };
    for (size_t index : VisitsOf(All, Kind(), current->text().toStdString())) {
        const TVisit& visit = All[index];
        auto* item = new QTreeWidgetItem(
            tvVisits, {Q(visit.When), Q(visit.Client), Q(visit.Car), Q(visit.Unit), Q(VisitMileage(visit))});
        for (const TVisitLine& line : VisitLines(All, index, text)) {
            auto* child = new QTreeWidgetItem(item, {Q(line.Text)});
            child->setFirstColumnSpanned(true);
            if (line.Recurring || line.Failed)
                child->setForeground(0, ColorRed);
            if (line.Kind == TVisitLineKind::File) {
                child->setData(0, PathRole, Q(line.Path));
                child->setData(0, FileKindRole, Q(line.FileKind));
                child->setData(0, MissingRole, line.Missing);
                if (line.Missing)
                    child->setForeground(0, ColorGrey);
            }
        }
        item->setExpanded(true);
    }
}

bool THistoryForm::OpenItem(QTreeWidgetItem* item) {
    if (!item)
        return false;
    const QString path = item->data(0, PathRole).toString();
    if (path.isEmpty())
        return false;
    const bool missing = item->data(0, MissingRole).toBool() || !QFileInfo(path).isFile();
    if (missing) {
        // Gone since the visit (moved, deleted): nothing is handed to a viewer.
        ShowMessage(Translate("Файл не найден:") + " " + path.toStdString(), true);
        return false;
    }
    if (IsRecording(item->data(0, FileKindRole).toString())) {
        emit OpenRecordingRequested(path);
        return true;
    }
    if (!OpenFile(path)) {
        ShowMessage(TranslateFormat("Файл не открыт: %s", path.toUtf8().constData()), true);
        return false;
    }
    return true;
}

} // namespace velmora

#include "ui/dialogs/clients_form.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <vector>

#include "lang/dictionary.h"
#include "lang/translated_format.h"
#include "platform/host.h"
#include "platform/utf8_path.h"
#include "ui/common/translate_widgets.h"
#include "ui/dialogs/input_box.h"

namespace velmora {

namespace {

constexpr int FormWidth = 359, FormHeight = 442;
constexpr int ListFontPixels = 21;

std::filesystem::path ClientsFolder() {
    return Utf8Path(BuildPath("", "CLIENTS", "", false));
}

// Client names as the user typed them: no path separators, not "." or "..".
bool ValidClientName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos;
}

} // namespace

TFrmClients::TFrmClients(QWidget* parent) : QDialog(parent) {
    setObjectName("FrmClients");
    setWindowTitle("Выбор клиента");
    resize(FormWidth, FormHeight);
    auto* layout = new QVBoxLayout(this);
    ListBox = new QListWidget;
    ListBox->setObjectName("ListBox");
    QFont font = ListBox->font();
    font.setPixelSize(ListFontPixels);
    ListBox->setFont(font);
    connect(ListBox, &QListWidget::itemDoubleClicked, this, [this] { btnSelectClick(); });
    layout->addWidget(ListBox, 1);
    auto* buttons = new QHBoxLayout;
    auto* select = new QPushButton("Выбрать");
    select->setObjectName("btnSelect");
    auto* create = new QPushButton("Новый клиент");
    create->setObjectName("btnNew");
    auto* cancel = new QPushButton("Выход");
    cancel->setObjectName("btnCancel");
    connect(select, &QPushButton::clicked, this, [this] { btnSelectClick(); });
    connect(create, &QPushButton::clicked, this, [this] { btnNewClick(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    for (QPushButton* b : {select, create, cancel})
        buttons->addWidget(b);
    layout->addLayout(buttons);
    if (Language() != 'R')
        TranslateControl(this);
}

void TFrmClients::FillList(const std::string& selected) {
    ListBox->clear();
    ListBox->addItem(NoClientEntry);
    // Only folders: a plain file lying in CLIENTS is no client.
    std::vector<QString> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(ClientsFolder(), error)) {
        if (entry.is_directory())
            names.push_back(QString::fromStdString(entry.path().filename().string()));
    }
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    for (const QString& name : names)
        ListBox->addItem(name);
    ListBox->setCurrentRow(0);
    if (selected.empty())
        return;
    auto found = ListBox->findItems(QString::fromStdString(selected), Qt::MatchExactly);
    if (!found.isEmpty())
        ListBox->setCurrentItem(found.first());
}

void TFrmClients::btnSelectClick() {
    if (ListBox->count() > 0 && ListBox->currentItem())
        accept();
    else
        reject();
}

void TFrmClients::btnNewClick() {
    std::optional<std::string> answer =
        InputQuery(this, Translate("Новый клиент"), Translate("Введите имя"), "");
    if (!answer)
        return;
    std::string name = QString::fromStdString(*answer).trimmed().toStdString();
    if (name.empty())
        return;
    if (!ValidClientName(name)) {
        Host().MessageBox(Translate("Недопустимое имя клиента"), TMsgKind::Error, TMsgButtons::Ok);
        return;
    }
    if (DirectoryExists(BuildPath("", "CLIENTS", name, false))) {
        Host().MessageBox(TranslateFormat("Клиент %s уже существует в списке", name.c_str()), TMsgKind::Error,
                          TMsgButtons::Ok);
        return;
    }
    // The first client also makes the CLIENTS folder: nobody has to make it by hand.
    std::error_code error;
    if (!std::filesystem::create_directories(ClientsFolder() / Utf8Path(name), error)) {
        Host().MessageBox(Translate("Не удалось создать папку") + " " +
                              (ClientsFolder() / Utf8Path(name)).string(),
                          TMsgKind::Error, TMsgButtons::Ok);
        return;
    }
    FillList(name);
}

std::string TFrmClients::SelectedClient() const {
    QListWidgetItem* item = ListBox->currentItem();
    if (!item || ListBox->row(item) == 0)
        return {};
    return item->text().toStdString();
}

std::string SelectClient(const std::string& current, QWidget* parent) {
    std::string kept =
        DirectoryExists(BuildPath("", "CLIENTS", current, false)) && !current.empty() ? current : "";
    TFrmClients form(parent);
    form.FillList(kept);
    if (form.exec() != QDialog::Accepted)
        return kept;
    return form.SelectedClient();
}

} // namespace velmora

// The client dialog: one folder per customer inside CLIENTS beside the program; the chosen client's
// folder receives the logs of the next connections. Window thread only.
#pragma once

#include <QDialog>
#include <string>

class QListWidget;

namespace velmora {

inline constexpr const char* NoClientEntry = "----------------";

class TFrmClients : public QDialog {
    Q_OBJECT
public:
    explicit TFrmClients(QWidget* parent = nullptr);

    // The entry "----------------", then the client folders; `selected` is selected when present.
    void FillList(const std::string& selected);
    void btnSelectClick();
    // Asks for a name and creates its folder (an existing one is refused with a box).
    void btnNewClick();
    // The selected client ("" for the first entry).
    std::string SelectedClient() const;

private:
    QListWidget* ListBox = nullptr;
};

// Runs the dialog: the chosen client, "" for none, or `current` on cancel (itself "" when its folder
// no longer exists).
std::string SelectClient(const std::string& current, QWidget* parent);

} // namespace velmora

#include "ui/connection_control.h"

#include "lang/dictionary.h"
#include "platform/host.h"

namespace velmora {

void TNoConnection::Start(const std::string&, char, const TConnectOptions&) {
    AddLog(Translate("Подключение к блоку пока недоступно в этой версии программы."));
}

} // namespace velmora

#include "ui/window/replay_loader.h"

#include "lang/dictionary.h"

namespace velmora {

std::shared_ptr<TReplayRecording> LoadReplayRecording(const std::filesystem::path&, std::string& error) {
    error = Translate("Чтение записей в этой сборке недоступно.");
    return nullptr;
}

} // namespace velmora

// Who holds the line: the engine session, a module dialogue, a line function (adapter test, impulse,
// ELM327 switch) or the slow-code reader. They share one port object (port_factory.h), and one of them
// creating or freeing it under another frees the port that other is still using; so each takes the line
// before it creates the port and gives it back after it has freed it, and a second taker is refused with
// a text that names the job holding it. Any thread.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// The jobs' names as the refusal shows them (Russian; translated when shown).
constexpr const char* EngineSessionJob = "связь с ЭБУ двигателя";
constexpr const char* EGasDialogueJob = "диагностика E-GAS";
constexpr const char* SrsDialogueJob = "диагностика SRS";
constexpr const char* AdapterTestJob = "тест адаптера";
constexpr const char* ImpulseJob = "импульс в K-линию";
constexpr const char* ElmToKklJob = "перевод ELM327 в режим K-Line";
constexpr const char* SlowCodesJob = "чтение медленных кодов";

// The line while it is held; gives it back when it goes. Move-only.
class TLineLease {
public:
    TLineLease() = default;
    ~TLineLease() { Release(); }
    TLineLease(TLineLease&& other) noexcept : Id(other.Id) { other.Id = 0; }
    TLineLease& operator=(TLineLease&& other) noexcept;
    TLineLease(const TLineLease&) = delete;
    TLineLease& operator=(const TLineLease&) = delete;

    // Takes the line for `job` (one of the names above); an empty lease when another job holds it.
    static TLineLease Take(const char* job);

    explicit operator bool() const { return Id != 0; }
    // Gives the line back now (nothing when this lease holds nothing).
    void Release();

private:
    uint64_t Id = 0;
};

// The Russian name of the job that holds the line; "" while it is free.
std::string LineHolder();
// "Линия занята: <job>. ..." in the user's language, naming the job that holds the line now.
std::string LineBusyText();
// The same text naming `job` (one of the names above): for a job the caller knows holds the line, or is
// about to take it (an engine session still starting on its worker).
std::string LineBusyText(const char* job);

} // namespace velmora

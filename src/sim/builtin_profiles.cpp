// The built-in simulated units, written in the profile format of docs/sim-profiles.md.
#include <string>
#include <vector>

#include "sim/sim_profile.h"

namespace velmora {

namespace {

struct TBuiltinUnit {
    const char* Unit;
    const char* Text;
};

constexpr TBuiltinUnit BuiltinUnits[] = {
    {"hfm", R"(
[Unit]
Name=HFM Bosch, late generation with VIN (diagnosis index 52)
Family=HFM
Supplier=Bosch
LiveMap=channel55
ReactionMs=2.5
SleepTimeoutMs=2000
WakeMode=first
[Ident]
00=27 42
02="HF2811B001"
0C="0261204321"
16=94 12 95 03 52 01
26=01 00
VIN="WDB1240921F123"
[Faults]
Stored=5 12
Current=12
[Engine]
Start=idle
Cylinders=6
IdleRpm=720
CoolantC=86
Seed=7
[Coding]
Unit=12 05 00
TesterCode=00 00 00
XorMask=0x4D42
Rotate=5
Add=0x1F3A
)"},
    {"hfm-cold", R"(
[Unit]
Base=hfm
Name=HFM Bosch, cold start (warms up)
[Engine]
Start=cold
AmbientC=8
)"},
    {"hfm-drive", R"(
[Unit]
Base=hfm
Name=HFM Bosch, drive cycle with road speed
[Engine]
Start=drive
)"},
    {"hfm-rough", R"(
[Unit]
Base=hfm
Name=HFM Bosch, cylinder 3 burns weak
[Engine]
WeakCylinder=3
WeakPercent=2.5
)"},
    {"hfm-badline", R"(
[Unit]
Base=hfm
Name=HFM Bosch on a bad line (lost answers, wrong complements, noise)
[LineFaults]
DropAnswerEvery=25
WrongComplementEvery=40
NoiseEveryMs=1500
)"},
    {"hfm-new", R"(
[Unit]
Base=hfm
Name=HFM Bosch, newest generation (diagnosis index 62, words high byte first)
ReversedWords=1
[Ident]
02="HF3211B062"
1A=62 00
VIN=
)"},
    {"hfm40", R"(
[Unit]
Name=HFM Bosch, diagnosis index 40 (memory addresses, answers the closing 0xAA only)
Family=HFM
Supplier=Bosch
LiveMap=bosch40
ReactionMs=3
WakeMode=sequence
[Ident]
00=27 42
02="HF1811B040"
0C="0261200812"
16=92 08 93 02 40 00
26=00 00
[Memory]
2702=5A
24F0=11
[Faults]
Stored=3
[Blink]
EraseMinMs=5000
EraseMaxMs=7500
AdaptMinMs=8000
[Engine]
Cylinders=4
IdleRpm=800
CoolantC=84
Seed=40
[Coding]
Unit=10 01 00
XorMask=0x2811
Rotate=3
Add=0x0101
)"},
    {"hfm-vdo", R"(
[Unit]
Name=HFM VDO, diagnosis index 42 (memory addresses, command byte never left out)
Family=HFM
Supplier=VDO
LiveMap=vdo40
ReactionMs=4
[Ident]
00=2C 56
02="HF2311V042"
0C="A000153310"
16=93 05 94 01 42 00
26=00 00
[Memory]
1002=03 04 05
[Faults]
Stored=2
[Engine]
Cylinders=4
IdleRpm=780
Seed=42
[Coding]
Unit=11 02 00
XorMask=0x5644
Rotate=7
Add=0x0042
)"},
    {"pms", R"(
[Unit]
Name=PMS Siemens, newest generation (diagnosis index 61)
Family=PMS
Supplier=Siemens
LiveMap=siemens60
ReactionMs=3
[Ident]
00=21 53
02="PM1111S061"
0C="5WK9012345"
16=96 02 96 09 61 00
26=02 00
[Memory]
2030=01
20DC=00
2192=10 20
2000=00
[Faults]
Stored=1 31
[Engine]
Cylinders=4
IdleRpm=780
Seed=61
[Coding]
Unit=21 00 07
XorMask=0x5349
Rotate=9
Add=0x6100
)"},
    {"pms-bosch", R"(
[Unit]
Name=PMS Bosch, diagnosis index 45 (late generation)
Family=PMS
Supplier=Bosch
LiveMap=channel55
ReactionMs=2.5
[Ident]
00=21 42
02="PM1111B045"
0C="0261203880"
16=94 03 94 08 45 00
26=00 00
[Memory]
21B0=00
[Faults]
Stored=12
[Engine]
Cylinders=4
IdleRpm=800
Seed=45
[Coding]
Unit=20 00 01
XorMask=0x5042
Rotate=11
Add=0x0450
)"},
    {"hfm-siemens", R"(
[Unit]
Name=HFM Siemens, diagnosis index 64 (newest generation, memory addresses)
Family=HFM
Supplier=Siemens
LiveMap=siemens60
ReactionMs=3
[Ident]
00=27 53
02="HF3611S064"
0C="5WK9065432"
16=97 01 97 06 64 00
26=03 00
[Faults]
Stored=25
[Engine]
Cylinders=6
IdleRpm=700
Seed=64
[Coding]
Unit=13 04 00
XorMask=0x4853
Rotate=1
Add=0x6464
)"},
    {"pms-vdo", R"(
[Unit]
Name=PMS VDO, diagnosis index 52 (PMS fault map, VIN)
Family=PMS
Supplier=VDO
LiveMap=channel55
ReactionMs=4
[Ident]
00=23 56
02="PM1111V052"
0C="A000153220"
16=95 06 95 11 52 00
26=00 00
VIN="WDB2020181A456"
[Faults]
Stored=3 129
Current=129
[Engine]
Cylinders=4
IdleRpm=780
Seed=52
[Coding]
Unit=21 01 02
XorMask=0x7064
Rotate=2
Add=0x1111
)"},
    {"lh", R"(
[Unit]
Name=LH Bosch, variant h (six cylinders)
Family=LH
Supplier=Bosch
LiveMap=lh
ReversedWords=1
ReactionMs=6
[Ident]
00=0D 01 25 45 32 32 00 00 03 52 08 53 02 44
[Memory]
40F7=64
40F8=32
40FA=44
40FB=12
0022=01
10C9=02
10C5=00
[Faults]
LhSlots=3:2 9:1
[Engine]
Cylinders=6
IdleRpm=700
Seed=3
)"},
    {"lh-w", R"(
[Unit]
Base=lh
Name=LH Bosch, variant w (eight cylinders)
LiveMap=lh-w
[Ident]
01=01 45 45 32 32
[Memory]
40F7=84
40F8=50
[Engine]
Cylinders=8
IdleRpm=650
)"},
    {"ez", R"(
[Unit]
Name=EZ ignition unit, Bosch
Family=EZ
Supplier=Bosch
LiveMap=ez
ReactionMs=5
SpecialMode=0
[Ident]
00=0D 4D 33 32 30 31 30 00 45 5A 35 00 00
[Memory]
027F=80
11AA=00
80F2=32 33
80BF=00 15 45 29 32
80C6=03 93 05 94 02 12
FFF0@00=01 00 00 00
FF21@00=00
FF18@80=00 00 00 00 00
FF2D@80=01 00 02
[Blink]
Enabled=0
[Engine]
Cylinders=6
IdleRpm=720
Seed=4
)"},
    {"hfm-trip", R"(
[Unit]
Base=hfm
Name=HFM Bosch, drive cycle: idle, pull away, cruise, stop
[Engine]
Start=drive
DriveCycle=30:0, 20:50, 60:50, 20:0
)"},
    {"hfm-misfire", R"(
[Unit]
Base=hfm
Name=HFM Bosch, injector of cylinder 2 faulty (no fuel)
[Engine]
FaultyInjectors=2
)"},
    {"hfm-blink", R"(
[Unit]
Base=hfm40
Name=HFM Bosch built before 08/93, three stored faults for the slow codes (4, 7, 14)
[Faults]
Stored=3 5 12
)"},
    {"lh-maf", R"(
[Unit]
Base=lh
Name=LH Bosch, variant h, hot-wire air mass sensor defect (on/off ratio steady at 40 %)
[Faults]
LhSlots=3:2 9:1
OnOffCode=40
)"},
    {"cable", R"(
[Unit]
Name=A sound KKL cable with no car behind it
[LineFaults]
NoUnit=1
)"},
    {"cable-noecho", R"(
[Unit]
Name=A broken KKL cable that returns nothing
[LineFaults]
NoUnit=1
NoEcho=1
)"},
    {"cable-garbled", R"(
[Unit]
Name=A broken KKL cable whose echo loses data bit 7
[LineFaults]
NoUnit=1
EchoLostBits=0x80
)"},
    {"cable-shorted", R"(
[Unit]
Name=A KKL cable on a K-line shorted to ground
[LineFaults]
ShortToGround=1
)"},
    // The same car with its modules changed: E-GAS, EGS and SRS (docs/sim-profiles.md, [EGAS] [EGS] [SRS]).
    {"egas-9600", R"(
[Unit]
Base=hfm
Name=HFM Bosch; an E-GAS module that only answers at 9600 baud
[EGAS]
Baud=9600
)"},
    {"srs-bosch", R"(
[Unit]
Base=hfm
Name=HFM Bosch; a Bosch SRS module that takes request bytes back to back
[SRS]
Supplier=3
PartNumber=0018209826
MinByteSpacingMs=0
Faults=4
)"},
    {"modules-empty", R"(
[Unit]
Base=hfm
Name=HFM Bosch; E-GAS, EGS and SRS without stored faults
[EGAS]
Faults=
[EGS]
Faults=
[SRS]
Faults=
)"},
    {"modules-silent", R"(
[Unit]
Base=hfm
Name=HFM Bosch; E-GAS, EGS and SRS that never answer their address
[EGAS]
Silent=1
[EGS]
Silent=1
[SRS]
Silent=1
)"},
    {"modules-badsum", R"(
[Unit]
Base=hfm
Name=HFM Bosch; every third frame of the modules carries a wrong checksum
[EGAS]
WrongChecksumEvery=3
[EGS]
WrongChecksumEvery=3
[SRS]
WrongChecksumEvery=3
)"},
    {"modules-noecho", R"(
[Unit]
Base=hfm
Name=HFM Bosch on a cable without echo (the module dialogues fail on it)
[LineFaults]
NoEcho=1
)"},
};

} // namespace

std::vector<std::string> BuiltinSimUnits() {
    std::vector<std::string> names;
    for (const TBuiltinUnit& unit : BuiltinUnits)
        names.emplace_back(unit.Unit);
    return names;
}

std::string_view BuiltinSimProfileText(std::string_view unit) {
    for (const TBuiltinUnit& u : BuiltinUnits)
        if (unit == u.Unit)
            return u.Text;
    return {};
}

} // namespace velmora

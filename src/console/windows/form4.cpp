#include "console/windows/form4.h"

#include "console/widgets/widgets.h"

#include <QGroupBox>
#include <QLabel>

namespace smartcar {

namespace {

struct Entry
{
    const char* character;
    const char* byte;
    int characterLeft;
    int byteLeft;
    int top;
};

// Digit area: two column pairs; the lower rows of the right pair sit a little higher.
constexpr Entry kDigits[] = {
    {"0", "48", 480, 1440, 480},   {"1", "49", 480, 1440, 1080},  {"2", "50", 480, 1440, 1800},
    {"3", "51", 480, 1440, 2520},  {"4", "52", 480, 1440, 3120},  {"5", "53", 3480, 4680, 480},
    {"6", "54", 3480, 4680, 1080}, {"7", "55", 3480, 4680, 1800}, {"8", "56", 3480, 4680, 2400},
    {"9", "57", 3480, 4680, 3000},
};

// Letter area: the two ends of each alphabet.
constexpr Entry kLetters[] = {
    {"A", "65", 600, 2040, 480},
    {"Z", "90", 600, 2040, 1560},
    {"a", "97", 600, 2040, 2640},
    {"z", "122", 600, 2040, 3480},
};

// Wide enough for three digits in the default face and clear of the next column.
constexpr int kEntryWidth = 735;
constexpr int kEntryHeight = 255;

} // namespace

Form4::Form4()
    : ReferenceWindow("Form4", QStringLiteral("串口数据对照表"), 10755, 5220)
{
    auto* Frame1 = frame(this, "Frame1", QStringLiteral("Byte数据对照表"), {0, 0, 10695, 5175});
    auto* Frame3 = frame(Frame1, "Frame3", QStringLiteral("数字区"), {360, 720, 6015, 3855});
    auto* Frame2 = frame(Frame1, "Frame2", QStringLiteral("字母区"), {7320, 720, 3015, 3855});

    auto addEntries = [](QGroupBox* area, const auto& entries) {
        for (const Entry& e : entries) {
            const QByteArray characterName = QByteArray("char") + e.byte;
            const QByteArray byteName = QByteArray("byte") + e.byte;
            wrapDownward(label(area, characterName.constData(), QString::fromLatin1(e.character),
                               {e.characterLeft, e.top, kEntryWidth, kEntryHeight}));
            wrapDownward(label(area, byteName.constData(), QString::fromLatin1(e.byte),
                               {e.byteLeft, e.top, kEntryWidth, kEntryHeight}));
        }
    };
    addEntries(Frame3, kDigits);
    addEntries(Frame2, kLetters);
}

} // namespace smartcar

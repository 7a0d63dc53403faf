// Operator text of any shape through every number reading. Each reading either gives a value
// that obeys its rule or fails with the console's own failure type; nothing else escapes.
#include "common/failure.h"
#include "common/numbers.h"
#include "fuzz/fuzzcheck.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace smartcar;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString field = QStringLiteral("「测试」");

    try {
        const double v = toNumber(text, field);
        require(std::isfinite(v));
        // A plain-notation number reads back to itself within its 15 significant digits.
        if (const auto plain = toPlainText(v)) {
            const double back = toNumber(*plain, field);
            require(std::fabs(back - v) <= std::fabs(v) * 1e-14);
        }
    } catch (const Failure& f) {
        require(f.kind() == Failure::Kind::TypeMismatch || f.kind() == Failure::Kind::Overflow);
    }

    try {
        const qint32 w = toWholeNumber(text, field);
        const double v = toNumber(text, field);
        require(std::fabs(double(w) - v) <= 0.5);
    } catch (const Failure& f) {
        require(f.kind() == Failure::Kind::TypeMismatch || f.kind() == Failure::Kind::Overflow);
    }

    // The lenient hex reading agrees with a plain re-reading of its leading digits.
    QString digits = text;
    digits.remove(QLatin1Char(' ')).remove(QLatin1Char('\t')).remove(QLatin1Char('\n'));
    qsizetype run = 0;
    while (run < digits.size() && QStringLiteral("0123456789abcdefABCDEF").contains(digits[run]))
        ++run;
    qsizetype zeros = 0;
    while (zeros < run && digits[zeros] == QLatin1Char('0'))
        ++zeros;
    const QString significant = digits.mid(zeros, run - zeros);
    bool fits = significant.isEmpty();
    const qulonglong expected = fits ? 0 : significant.toULongLong(&fits, 16);
    const auto hex = readLeadingHex(text);
    if (fits && expected <= 0xffffffffULL)
        require(hex && *hex == expected);
    else
        require(!hex);

    const double d = readLeadingDecimal(text);
    require(!std::isnan(d));
    return 0;
}

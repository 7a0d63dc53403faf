#include "common/failure.h"

namespace smartcar {

namespace {
// The kind as the operator reads it before the detail.
QString kindName(Failure::Kind kind)
{
    switch (kind) {
    case Failure::Kind::TypeMismatch:
        return QStringLiteral("类型不匹配");
    case Failure::Kind::Overflow:
        return QStringLiteral("溢出");
    case Failure::Kind::OutOfRange:
        return QStringLiteral("超出范围");
    case Failure::Kind::PortNotOpen:
        return QStringLiteral("端口未打开");
    case Failure::Kind::PortFailure:
        return QStringLiteral("通信端口故障");
    }
    return QStringLiteral("错误");
}

QString sentence(Failure::Kind kind, const QString& detail)
{
    // A refused limit says what is wrong in its own words; "超出范围：" before it would only
    // repeat it.
    if (kind == Failure::Kind::OutOfRange)
        return detail;
    return kindName(kind) + QStringLiteral("：") + detail;
}
} // namespace

Failure::Failure(Kind kind, QString detail)
    : std::runtime_error(sentence(kind, detail).toStdString())
    , m_kind(kind)
    , m_detail(std::move(detail))
{
}

QString Failure::describe() const
{
    return sentence(m_kind, m_detail);
}

Failure Failure::typeMismatch(const QString& field)
{
    return Failure(Kind::TypeMismatch, field + QStringLiteral("不是数字"));
}

Failure Failure::overflow(const QString& field)
{
    return Failure(Kind::Overflow, field + QStringLiteral("超出允许的范围"));
}

Failure Failure::aboveLimit(const QString& field, qint64 limit, const QString& unit)
{
    return Failure(Kind::OutOfRange,
                   QStringLiteral("%1不能超过 %2 %3").arg(field).arg(limit).arg(unit));
}

Failure Failure::portNotOpen()
{
    return Failure(Kind::PortNotOpen, QStringLiteral("通信端口未打开，请先单击【打开端口】"));
}

Failure Failure::portFailure(const QString& detail)
{
    return Failure(Kind::PortFailure, detail);
}

} // namespace smartcar

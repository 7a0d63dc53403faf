#pragma once

#include <QString>

// The input fields by the names the error reports give them, 「」 included.

namespace smartcar {

inline const QString kSpeedField = QStringLiteral("「更新速度」");
inline const QString kTurnTimeField = QStringLiteral("「转向时间」");
inline const QString kCommandField = QStringLiteral("「串口命令栏」");
inline const QString kSamplingIntervalField = QStringLiteral("「采样间隔」");

} // namespace smartcar

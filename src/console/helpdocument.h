#pragma once

#include <QString>

namespace smartcar {

// The operator's README, with its troubleshooting section, where it really lies on this
// machine: on Linux where the package installs it (/usr/share/doc/smartcar-console, or the
// same place under another prefix); on Windows, and for a copy unpacked anywhere, beside the
// program. When none is found, where an installation would put it.
QString helpDocumentPath();

} // namespace smartcar

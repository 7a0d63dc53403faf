#pragma once

#include <QString>

namespace smartcar {

// The operator's README, with its troubleshooting section, where it really lies on this
// machine: on Linux where the package installs it (/usr/share/doc/smartcar-console, or the
// same place under another prefix); on Windows, and for a copy unpacked anywhere, beside the
// program; run from a build folder inside the source tree, the source's own. When none is
// found, only the document's name: never a path where there is nothing.
QString helpDocumentPath();

} // namespace smartcar

#pragma once

class QObject;

namespace smartcar {

// Makes the words Qt itself puts on screen (a box's 确定, a text box's 复制 and 粘贴) Chinese
// like the rest of the console, whatever the system's language. Qt's own Chinese catalogues are
// looked for where Qt keeps its translations and in a "translations" folder beside the program
// (where a Windows installation carries them). The translators belong to `owner` and are taken
// out again when it goes. Returns whether Qt's base catalogue was found; without it those words
// stay English and nothing else changes.
bool installQtTranslations(QObject* owner);

} // namespace smartcar

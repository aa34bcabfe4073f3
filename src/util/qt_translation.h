#pragma once

class QCoreApplication;
class QTranslator;

namespace zartav {

// Loads Qt's own Farsi texts (print preview, file dialogs, standard buttons) into `app`, which
// owns the answered translator. nullptr when the translation is not installed: Qt's texts then
// stay English.
QTranslator* installQtTranslation(QCoreApplication& app);

}  // namespace zartav

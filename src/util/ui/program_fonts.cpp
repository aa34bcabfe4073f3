#include "util/ui/program_fonts.h"

#include <QApplication>
#include <QFont>

namespace zartav {

void installProgramFonts() {
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("Noto Sans Arabic UI"), QStringLiteral("Noto Sans Arabic"),
                                QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"),
                               {QStringLiteral("Noto Naskh Arabic"), QStringLiteral("DejaVu Serif")});
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    QApplication::setFont(font);
}

}  // namespace zartav

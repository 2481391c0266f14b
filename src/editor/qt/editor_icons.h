// The command icons of the info panel, drawn in code so they scale cleanly
// and need no picture files.
#pragma once

#include <QPixmap>
#include <QString>

namespace zq {

// One picture per icon name ("I_MoveForward" ... "I_Exit"), `side` pixels square.
QPixmap EditorIcon(const QString& name, int side = 24);

}  // namespace zq

// The program's icon (a racing silk with a ringing bell): the installed theme icon "tavolen"
// where the desktop has it, otherwise the same pictures built into the program, so a portable
// folder shows the icon the menu entry shows.
#pragma once

#include <QIcon>

namespace tavolen {

QIcon ProgramIcon();

}  // namespace tavolen

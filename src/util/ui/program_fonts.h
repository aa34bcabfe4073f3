#pragma once

namespace zartav {

// The program's fonts: Tahoma 8 pt for every window, with the Farsi-capable fonts we install
// standing in for Tahoma and Times New Roman where those are missing. Called once, before the
// first window.
void installProgramFonts();

}  // namespace zartav

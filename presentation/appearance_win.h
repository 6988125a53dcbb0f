// What Windows says about its look: dark or light apps, high contrast, and the taskbar's text colour and font.
#pragma once

#include "presentation/theme.h"

namespace tide {

// Dark apps only when "AppsUseLightTheme" reads as 0; high contrast when the system has it on.
SystemAppearance read_system_appearance();

// The taskbar's text colour (white, black for a light taskbar, the window-text colour in high contrast)
// and the message font at the given DPI; "Segoe UI" at 12 DIP when the system cannot say.
TaskbarAppearance read_taskbar_appearance(int dpi);

} // namespace tide

// Placeholder: the update cycle, the badge, Quit and Preferences are written with the actions work.
#include "ui/main/Window1.h"

void Window1::Timer1_Action() {}
void Window1::bbUpdate_Action() {}
void Window1::Refresh() {}
void Window1::DrawUnreadBadge() {}
void Window1::bbPrefs_Action() {}
void Window1::BevelButton1_Action() {}

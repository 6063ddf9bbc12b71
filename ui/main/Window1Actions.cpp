// Placeholder: the five feed actions are written with the actions work.
#include "ui/main/Window1.h"

void Window1::bbMarkRead_Action() {}
void Window1::bbMarkUnread_Action() {}
void Window1::bbMarkAllRead_Action() {}
void Window1::bbReset_Action() {}
void Window1::bbResetAll_Action() {}

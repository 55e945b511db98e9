#pragma once

// Shows the modal About box (template 109) owned by the main window and
// returns when the user has closed it.
void ShowAboutBox();

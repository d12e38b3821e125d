// Every text the installer shows in a message box, in one place: several subsystems raise the same message.
#pragma once
#include "base/text.h"

#define MSG_OUT_OF_MEMORY u"Insufficient memory was available. Moravel could not be installed."
#define MSG_CORRUPTED u"The installer has been corrupted. Please download Moravel again."
#define MSG_FOLDER_INACCESSIBLE u"The installation folder was inaccessible. Moravel could not be installed."
#define MSG_NO_FL_STUDIO \
    u"No FL Studio installation was found. Make sure you have installed the latest version of FL Studio."
#define MSG_INSTALL_SUCCEEDED u"The installation finished successfully.\r\nPlease scan for new plugins in your DAW."
#define MSG_UNINSTALLED u"Moravel has been uninstalled from your computer."
#define MSG_UNINSTALL_INCOMPLETE \
    u"Some Moravel files could not be removed. Close any program that uses Moravel and run Uninstall again."
#define CAPTION_PRODUCT u"Moravel"

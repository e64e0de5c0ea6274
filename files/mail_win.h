// Handing a file output on to the mail sender SendKDUX.EXE, and the dialog SETTING3 that
// switches the hand-off on.
#pragma once

// Set when the mail sender was started for the output in progress; the copy sequence clears it.
extern int mail_started;

// Starts the mail sender from the program folder with the output's archive name, waits until
// it takes input, and starts the timer of the notification that follows. 1 not started
// (`file_compression` is not 1), 0 started, -1 it could not be started (nothing is shown).
int launch_mail_sender();

// Tells every top-level window, the mail sender's among them, with UM_MAIL_NOTIFY (both
// parameters 0) that a hand-off has been made: once for each launch not yet told.
void post_mail_notification();

// Whether a launch still waits for its notification.
bool mail_notification_due();

// Shows SETTING3 modally over the main window.
void open_linked_app_dialog();

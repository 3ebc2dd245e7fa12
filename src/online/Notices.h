#pragma once
// Notices for the user: achievement notices queued with the service's news, and the offer of a
// newer program.

// One notice per achievement tag stored in the profile.
void QueueAchievements();
// The first queued notice as dialog 21 (its message, buttons 2 and 3) when no box is open; false
// when nothing was shown.
bool ShowFirstNotice();
// Dialog 21's answer: the notice is recorded as seen (its page opened on 2), the next one shown.
void AnswerNotice(int button);
// Dialog 23 when the service offers a newer program and no box is open; the flag is cleared.
bool ShowUpdateWarning();

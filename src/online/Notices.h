#pragma once
// Notices for the user: achievement notices queued with the service's news. The session flow
// (app/OnlineSession) shows them.

// One notice per achievement tag stored in the profile.
void QueueAchievements();

#pragma once
// The ending pages (500) and the staff roll (600) after a cleared play.

void RunEndingScene();
void RunStaffRollScene();

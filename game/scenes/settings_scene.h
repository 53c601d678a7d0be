#pragma once
// Settings and key configuration (306).

void RunSettingsScene();

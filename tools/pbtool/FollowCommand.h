#pragma once
// pbtool settings: the source's effective settings and where each comes from.
// pbtool follow [book]: the follow the settings configure, once, as sync runs it.
int SettingsCommand(int argc, wchar_t** argv);
int FollowCommand(int argc, wchar_t** argv, unsigned waitSeconds);

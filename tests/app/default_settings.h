#pragma once
// The settings file that the first start writes when there is none: what both
// the settings tests and the command-line runs expect to find.

namespace quillon::testing {

inline constexpr char kDefaultSettings[] =
    "[Tarvell\\Quillon]\r\n"
    "Auto Run At Startup=0\r\n"
    "Auto Start Watch When Run=1\r\n"
    "Minimized TrayIcon=0\r\n"
    "Auto Check Update Information=0\r\n"
    "Delete Source File After Conversion=0\r\n"
    "Create Log File=1\r\n"
    "Manual Destination File Format=2\r\n"
    "Text File Delimited Format=-1\r\n";

}  // namespace quillon::testing

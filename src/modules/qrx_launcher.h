#pragma once

#include <string>
#include <string_view>

// Finding and starting the suite's host test program through its master data file.
namespace vemor {

inline constexpr const char* kMasterFile = "qrxmaster_D_kompl_KF1.dat";
inline constexpr const char* kProgramFile = "qrx.exe";

// The master data file: below the application-data folder, in Zembrosa\VERFAHREN\QRX.
std::string MasterFilePath();

struct QrxLocation {
    bool found = false;
    std::string program_path;  // absolute, with its names as stored
};

// Every occurrence of segment removed in one pass from left to right; text that a removal
// joins together is not looked at again.
std::string RemoveEvery(std::string_view text, std::string_view segment);

// The folder of the host test program named by the master file's "HilfeVerfahrenVerz"
// value: upper-cased, with the help segments cut out.
std::string HostProgramFolder(std::string_view help_folder);

// The whole location, from the application-data folder to the program file. A lookup that
// fails with an error counts as not found: a program that may not be there is not offered;
// nor is one in a folder that is not absolute (platform::IsAbsoluteFolder): empty, relative
// or relative to a drive's current folder.
QrxLocation LocateQrx();

// Starts the program by its exact path, minimised, without arguments and without waiting
// for it. Throws Failure when it cannot be started.
void StartProgram(const std::string& path);

}  // namespace vemor

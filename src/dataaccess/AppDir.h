#pragma once

#include <QString>

// Two folders, both ending in "/":
// - the data folder (GetAppDir): data/data.mdb, Log/, BackUp/, Quorel.ini and
//   Skins/set.ini.  A copied program folder that holds its own data/ keeps
//   everything beside the executable; an installed program, whose folder is
//   not writable, keeps it in the user's data folder (~/.local/share/weibao).
//   `--home DIR` (packaging, tests) points it elsewhere for the run.
// - the program's shared folder (GetProgramDir): the files the program ships,
//   Skins/, manual/ and Tool/.  Beside the executable in a copied program
//   folder, <prefix>/share/weibao when installed.
QString GetAppDir();
void SetAppDir(const QString& dir);
QString GetProgramDir();
void SetProgramDir(const QString& dir);

// What decides where the data folder is.
struct DataDirFacts
{
    QString homeOption;       // the --home folder, empty when not given
    QString programDir;       // the folder of the executable
    bool programDirWritable = false;
    bool programDirHasData = false;   // data/ beside the executable
    bool programDirPortable = false;  // the shipped Skins/ beside the executable
    QString userDataDir;      // the user's XDG data folder for the program
};

// The data folder for these facts: --home wins; a writable program folder
// that holds data/ or the shipped files is used as it is (a copied program
// folder, build/bin); anything else (an installed program, a read-only copy)
// uses the user's data folder.
QString ChooseDataDir(const DataDirFacts& facts);
// The facts as the file system tells them.
DataDirFacts InspectDataDir(const QString& programDir, const QString& homeOption);
// $XDG_DATA_HOME/weibao, normally ~/.local/share/weibao.
QString UserDataDir();
// The shared folder for an executable in `programDir`: the folder itself when
// the shipped files are beside it, else ../share/weibao when that exists.
QString ChooseProgramDir(const QString& programDir);

// Sets both folders for this run from the executable's folder and --home.
void SetUpAppDirs(const QString& homeOption);
// True when the data folder is the user's data folder (an installed program).
bool UsesUserDataDir();

// A shipped file or folder (e.g. "Skins/skins.dat", "manual"): the data
// folder's own copy when there is one, so a user can add to or replace what
// was shipped, otherwise the shared folder's (which may not exist either).
QString FindShipped(const QString& relativePath);

#pragma once
// Where the program keeps its settings file and logs, and where it reads its
// two sound files:
//  - run from a folder of its own (the build tree, a copied folder, a USB
//    stick): everything beside the executable, as always;
//  - installed (an install's share/qvx-loopback folder stands beside the
//    executable's bin/ folder): the same files in the user's data folder
//    (~/.local/share/qvx-loopback), created on first start; the sound files
//    come from the install's share folder unless the user puts their own
//    beside the settings file;
//  - --data-dir DIR: that folder, created when missing; sound files as above.
#include <QLockFile>
#include <QString>

class QLabel;

struct DataFolder {
    enum Kind { BesideExecutable, PerUser, Chosen };
    Kind kind = BesideExecutable;
    QString dir;       // settings, logs, the user's own sound files
    QString soundDir;  // where a sound file missing from dir is read; empty: nowhere else

    // exeDir: the executable's folder; chosen: the --data-dir value, or empty.
    static DataFolder resolve(const QString& exeDir, const QString& chosen);

    // The install's share folder beside exeDir's parent, or empty when the
    // executable does not run from an install.
    static QString installShareDir(const QString& exeDir);

    // Makes the folder when missing; false when it cannot be made.
    bool create() const;

    // A line for --help naming the folder; empty beside the executable.
    QString helpNote() const;

    // Names the folder on the window's Message label (given) when it is not the
    // executable's, unless the start-up already put a message there: any
    // message of the program's own wins and later ones simply replace it.
    void showOn(QLabel* message) const;
};

// One program per data folder: two copies writing the same logs would
// interleave their lines. The lock is a hidden file in the folder, held for
// as long as this object lives; a lock left by a process that has died is
// taken over.
class DataFolderLock {
public:
    explicit DataFolderLock(const QString& dir);
    // False, with one line saying why, when another live copy holds the
    // folder. A folder where no lock can be made (read-only) is not held
    // against anyone: the program then reports its files as it always does.
    bool acquire(QString* why);
    // Lets the folder go before this object ends (an exit from inside).
    void release() { lock_.unlock(); }

    static constexpr const char* kFileName = ".qvx-loopback.lock";

private:
    QString dir_;
    QLockFile lock_;
};

// The working folder ~/quillory and its cache database "db.s3db", installed from the template
// built into the program.
#pragma once

#include <QString>

class Environment {
public:
    // The one instance, set up on the first call (the main thread, at start-up).
    static Environment& sharedEnv();

    // The working folder ~/quillory, for what must be known before the environment is set up
    // (quillory-sync's log). Safe from any thread.
    static QString defaultWorkingDir();

    QString workingDir() const { return working; }
    QString databaseFile() const { return database; }

    // Makes the working folder under home and installs the template database there when the
    // database is missing; never replaces one. Failures are logged only.
    static void install(const QString& workingDir, const QString& databaseFile);

private:
    Environment();

    QString working;
    QString database;
};

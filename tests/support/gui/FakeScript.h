#pragma once
// A stand-in for the browser-control script: a real executable sh script in a temporary folder that
// appends every command it gets to a log and prints a reply the test chooses.
//
//   FakeScript script("true");        // app().script() now runs it; the destructor points it back
//   w->Timer2_Action();
//   EXPECT_EQ(script.Commands(), QStringList{"Check"});
//   script.SetReply("nonsense");      // takes effect at the next call
//   script.SetHang(true);             // the script sleeps instead of answering;
//   app().script().SetTimeout(200);   //   give the runner a short time-out in that test

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class FakeScript {
public:
    explicit FakeScript(const QString& reply = QStringLiteral("false"));
    ~FakeScript();
    FakeScript(const FakeScript&) = delete;
    FakeScript& operator=(const FakeScript&) = delete;

    void SetReply(const QString& reply);
    void SetHang(bool hang);
    QStringList Commands() const;   ///< commands received so far, oldest first
    void ClearCommands();
    QString Path() const;           ///< the script file

private:
    QTemporaryDir dir_;
    QString previousPath_;
    int previousTimeout_;
};

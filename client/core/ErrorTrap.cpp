#include "ErrorTrap.h"

#include "frmMsg.h"
#include "MainModule.h"
#include "MessageBox.h"
#include "RuntimeError.h"

void logRuntimeError(const QString &procedure, const RuntimeError &error)
{
    try {
        gWriteErrorLog(procedure, error.description());
    } catch (const RuntimeError &) {
        // Nowhere left to record it; the caller still shows the original error.
    }
}

void reportInMessageBox(const QString &procedure, const RuntimeError &error)
{
    logRuntimeError(procedure, error);
    MessageBox::show(error.description(), MessageBox::Exclamation);
}

void reportInNotice(const QString &procedure, const RuntimeError &error)
{
    logRuntimeError(procedure, error);
    // One substitution pass: a description may quote text that holds "%1" itself.
    gShowInfo(QStringLiteral("%1 error %2 : %3")
                  .arg(procedure, QString::number(error.number()), error.description()),
              true);
}

#include "support/FakePlatform.h"

int FakePrompts::exec(QDialog& dialog) {
    Shown << &dialog;
    if (OnExec)
        return OnExec(dialog);
    return Answers.isEmpty() ? DefaultAnswer : Answers.takeFirst();
}

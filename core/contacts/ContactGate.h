#pragma once

// What the contacts ask before an impulse counts: whether the contact's switch is
// on and its lock-out is not running. Asked once per triggered line, so a START
// that locks its contact is seen by the next line of the same kind.
class ContactGate {
public:
    virtual ~ContactGate() = default;
    virtual bool StartContactOpen() const = 0;
    virtual bool FinishContactOpen() const = 0;
};

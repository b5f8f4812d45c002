#pragma once

// The printers installed; only their number is used.
class Printers {
public:
    virtual ~Printers() = default;
    virtual int count() const = 0;
};

#pragma once

#include <QString>

#include <functional>

class QPagedPaintDevice;

// What the print verb prints: pages painted by the program onto the printer (or
// PDF file) the operator picks in the print dialog.
struct PrintJob {
    QString file;           // the document printed; names the PDF file offered
    QString title;          // the job's name and a PDF's title: the race, not the file
    bool landscape = false; // the orientation offered first
    // Paints the pages firstPage ... lastPage (from 1; 0: no limit) on the device set up
    // by the dialog; returns the pages painted.
    std::function<int(QPagedPaintDevice& device, int firstPage, int lastPage)> paint;
};

// The desktop's open and print verbs.
class Shell {
public:
    virtual ~Shell() = default;
    virtual void open(const QString& fileOrUrl) = 0;
    virtual void print(const PrintJob& job) = 0;
};

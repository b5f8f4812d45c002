#pragma once

#include <QString>
#include <Qt>

class QKeyEvent;

// How the protocol's editing commands hear the grid's input. The protocol table passes
// its grid's events on to the one attached and takes it off again.
class ProtocolInput {
public:
    virtual void SortGrid1KeyDown(QKeyEvent* event, bool& handled) = 0;
    virtual void SortGrid1CellValidate(int col, int row, const QString& oldValue, QString& newValue, bool& valid) = 0;
    virtual void SortGrid1MouseDown(Qt::MouseButton button, int x, int y) = 0;
    // The program wrote the cell being edited.
    virtual void SortGrid1EditDropped() = 0;

protected:
    ~ProtocolInput() = default;
};

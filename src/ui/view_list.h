// The window side of a list of parameter views (a screen or the graph): what the window does when the
// worker reports a new value of one of the list's parameters. Window thread only.
#pragma once

namespace velmora {

class TViewList {
public:
    virtual ~TViewList() = default;
    // Parameter `number` has a new value: redraw its view.
    virtual void UpdateParam(int number) = 0;
};

} // namespace velmora

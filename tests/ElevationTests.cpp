#include "app/Elevation.h"

#include <catch2/catch_test_macros.hpp>

TEST_CASE ("Start-up rights: go on, ask through pkexec, or stop", "[app]")
{
    using Decision = Elevation::Decision;

    SECTION ("a privileged start goes straight on, whatever else there is")
    {
        CHECK (Elevation::decide (true, false, false) == Decision::proceed);
        CHECK (Elevation::decide (true, true, true) == Decision::proceed);
    }

    SECTION ("unprivileged with a display and pkexec: ask for the rights")
    {
        CHECK (Elevation::decide (false, true, true) == Decision::relaunchElevated);
    }

    SECTION ("unprivileged without a display or without pkexec: stop")
    {
        CHECK (Elevation::decide (false, false, true) == Decision::refuse);
        CHECK (Elevation::decide (false, true, false) == Decision::refuse);
        CHECK (Elevation::decide (false, false, false) == Decision::refuse);
    }

    SECTION ("the refusal is one line that says what is needed")
    {
        const auto message = Elevation::refusalMessage();
        CHECK_FALSE (message.containsChar ('\n'));
        CHECK (message.contains ("root"));
    }
}

// The agent's administrator commands alone, for the end-to-end tests until the agent's own
// main() runs them: exit 2 for anything that is not one of the commands.

#include <string>
#include <vector>

#include "velmoro/AdminCommands.h"

int main(int argc, char* argv[]) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return zorva::velmoro::RunAdminCommand(arguments).value_or(2);
}

// The rows of the command table the runtime is built from
// (runtime/commands/command_table.def), for the generators and the fuzzer
// that need the shipped command list.
#include <iterator>

#include "tools/command_list.h"

namespace {

const TFamilyRow kFamilies[] = {
#define ZV_COMMAND(code, Name, Family, Params, Build, Effect, ParamList)
#define ZV_FAMILY(number, Family, Title) {number, #Family, Title},
#include "runtime/commands/command_table.def"
#undef ZV_FAMILY
#undef ZV_COMMAND
};

const TCommandRow kRows[] = {
#define ZV_COMMAND(code, Name, Family, Params, Build, Effect, ParamList) \
  {code, #Name, #Family, #Params, #Build, Effect, ParamList},
#include "runtime/commands/command_table.def"
#undef ZV_COMMAND
};

}  // namespace

bool BuildShippedCommandTable(TCommandTable* table, std::string* error) {
  return BuildCommandTable({std::begin(kFamilies), std::end(kFamilies)},
                           {std::begin(kRows), std::end(kRows)}, table, error);
}

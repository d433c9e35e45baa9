// Loading and writing on arbitrary file contents: a range of one page, a
// range of every page (for small documents) and every page but the first;
// for a document whose permissions forbid assembly, the same refusal from
// each split.
// Whatever loads must be writable, every written file must have the layout
// of a good output with the pages asked for, and loading it again must keep
// the conventions.
#include <cstring>
#include <string>

#include "fuzz_util.h"
#include "rorezide.h"
#include "support/fixture.h"
#include "support/pdf_check.h"

namespace {

// Largest page count for which the whole range is written too.
constexpr int WHOLE_RANGE_MAX = 64;
// Largest written file that is loaded again.
constexpr size_t RELOAD_MAX = size_t(4) << 20;

// A written file: its layout holds, its new pages node lists `pages` kids,
// and loading it follows the conventions.
void check_output(const std::string &path, int pages)
{
    std::string pdf = read_file(path);
    std::string layout = check_layout(pdf);
    if (!layout.empty()) {
        std::fprintf(stderr, "written file %s: %s\n", path.c_str(), layout.c_str());
        std::abort();
    }
    fuzz_check(static_cast<int>(new_kids(pdf).size()) == pages, "written /Kids count");
    // Copied objects may overlap and make outputs far larger than their
    // input; loading those again would only slow the run down.
    if (pdf.size() <= RELOAD_MAX)
        fuzz_checked_count(path.c_str());
}

// A split of a document that failed to load fails with the load's message.
void check_same_failure(int result, const std::string &load_msg, const char *call)
{
    fuzz_checked_split(result, call);
    fuzz_check(result == 0, call);
    fuzz_check(load_msg == rorezide_last_error(), "split failed with another message than the load");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string in = fuzz_write_input("in.pdf", data, size);
    fuzz_remove("one.pdf");
    fuzz_remove("all.pdf");
    fuzz_remove("rest.pdf");
    std::string dir = fuzz_scratch_dir();
    std::string one = dir + "/one.pdf", all = dir + "/all.pdf", rest = dir + "/rest.pdf";

    int n = fuzz_checked_count(in.c_str());
    std::string load_msg = rorezide_last_error();
    int first_page[1] = {1};

    if (n < 0) {
        check_same_failure(rorezide_range(in.c_str(), 1, 1, one.c_str()), load_msg, "range 1..1");
        check_same_failure(rorezide_remove(in.c_str(), first_page, 1, rest.c_str()), load_msg,
                           "remove 1");
        return 0;
    }

    int ok = fuzz_checked_split(rorezide_range(in.c_str(), 1, 1, one.c_str()), "range 1..1");
    // An encrypted document that opens may still forbid assembly: then
    // every split refuses it alike.
    std::string split_msg = rorezide_last_error();
    if (ok == 0 && split_msg.rfind("Document permissions do not allow", 0) == 0) {
        check_same_failure(rorezide_remove(in.c_str(), first_page, 1, rest.c_str()), split_msg,
                           "remove 1");
        return 0;
    }
    fuzz_check(ok == 1, "range 1..1 failed on a document that loads");
    check_output(one, 1);

    if (n <= WHOLE_RANGE_MAX) {
        ok = fuzz_checked_split(rorezide_range(in.c_str(), 1, n, all.c_str()), "range 1..n");
        fuzz_check(ok == 1, "range 1..n failed on a document that loads");
        check_output(all, n);
    }

    ok = fuzz_checked_split(rorezide_remove(in.c_str(), first_page, 1, rest.c_str()), "remove 1");
    if (n == 1) {
        fuzz_check(ok == 0, "removing the only page succeeded");
    } else {
        fuzz_check(ok == 1, "remove 1 failed on a document of several pages");
        check_output(rest, n - 1);
    }
    return 0;
}

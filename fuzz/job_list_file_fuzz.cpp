#include "fuzz_input.h"
#include "joblist/job_list.h"
#include "joblist/job_list_file.h"
#include "settings/extraction_options.h"

#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path = mx::fuzz::inputFile(data, size, "list.mxl");
    mx::JobList jobs;
    mx::ExtractionOptions options;
    try {
        mx::readJobListFile(path, jobs, options);
    } catch (const std::exception&) {
    }
    return 0;
}

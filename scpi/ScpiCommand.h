// The commands the server knows, as the parser hands them to the answering stage.
#pragma once

namespace dmm::scpi {

enum class ScpiCommandId {
    Unknown, // a header the server does not know
    Identify,
    Read,
    Fetch,
    Measure,
    ConfigureQuery,
    UnitQuery,
    ErrorQuery,
    ClearStatus,
    Reset,
    OperationCompleteQuery,
    AverageQuery, // CALCulate:AVERage:...: the recorded rows' statistics
    MinimumQuery,
    MaximumQuery,
    CountQuery,
    SdevQuery,
    PtpQuery,
    ClearStatistics,
};

struct ScpiCommand {
    ScpiCommandId id = ScpiCommandId::Unknown;
    // Something followed the header; none of the known commands takes a parameter.
    bool hasParameters = false;
};

} // namespace dmm::scpi

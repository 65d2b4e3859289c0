// The dispatch procedure of the SimConnect thread: every received message becomes program
// state, a SimCommand for the work thread, or a flush of the outbound queues. A message shorter
// than its layout is ignored, never read past its end. The simulator decides how often each
// message comes: every log line it makes goes through simulatorLines, which writes a repeated
// text once a minute with its count.

#include "core/clock.h"
#include "core/exceptions.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/shell_port.h"
#include "params/control_port.h"
#include "platform/code_page.h"
#include "params/parameters.h"
#include "simconnect/simconnect.h"
#include "simlink/model_queries.h"
#include "simlink/sim_commands.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_internal.h"
#include "simlink/sim_queues.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <fmt/format.h>
#include <optional>
#include <string>
#include <string_view>

using namespace qmx;

std::atomic<bool> simulatorQuit{false};
RepeatedLines simulatorLines{std::chrono::minutes(1)};

namespace {

constexpr double kTeleportNm = 10.0;
constexpr std::size_t kMaxTitleLength = 48;
constexpr std::uint32_t kRestartSeconds = 30;
constexpr std::uint32_t kFramesPerRateSample = 30;
constexpr double kGroundDataMaxAglFt = 2500.0;
constexpr std::size_t kString32 = 32;
constexpr std::int64_t kBindLimitTicks = 5 * 10'000'000; // 5 s in 100-ns ticks
// Twice the simulator's limit of objects: the lists of added objects and of unbound creation
// replies keep at most this many entries, whatever the simulator sends.
constexpr std::size_t kMaxListedObjects = 2000;

// The reply to a creation: the object id the simulator gave it.
struct AssignedObjectIdReply : SIMCONNECT_RECV {
    std::uint32_t dwRequestID;
    std::uint32_t dwObjectID;
};

// An object this program created that is not bound to its aircraft yet, with the steady time of
// its creation reply.
struct UnboundObject {
    std::uint32_t objectId = 0;
    std::int64_t assignedTicks = 0;
};

// What the connection dropped for a full queue, counted by the connection and logged at most once
// a minute.
struct DropReport {
    const char* text; // the line, with {} for the count
    RepeatLimiter log{std::chrono::minutes(1)};
    std::uint64_t seen = 0;   // by the connection, so far
    std::uint64_t logged = 0; // the count of the latest line
};

// SimConnect thread only.
DropReport droppedMessages{"SimConnect: {} received messages dropped, more came than were handled"};
DropReport droppedSends{"SimConnect: {} request packets dropped, the simulator took fewer than were sent"};
std::uint32_t frameCounter = 0;
LatLon previousUserPosition; // in the not-yet-known box until the first block
std::vector<UnboundObject> unboundObjects;

// The lines of the simulator's messages, by the writer they go to.
void lf_simLine(const std::string& line)
{
    simulatorLines.write(line, gf_logLine);
}

void lf_simWarning(const std::string& line)
{
    simulatorLines.write(line, gf_logWarning);
}

void lf_simIndented(const std::string& line)
{
    simulatorLines.write(line, gf_logIndented);
}

// Shown on the message line every time; logged as a repeated line.
void lf_simMessage(const std::string& text)
{
    gf_reportMessage(text, false);
    lf_simLine(text);
}

void lf_logDrops(DropReport& report)
{
    gf_logWarning(fmt::format(fmt::runtime(report.text), report.seen));
    report.logged = report.seen;
}

void lf_noteDrops(DropReport& report, HRESULT (*readCount)(HANDLE, std::uint64_t*), HANDLE handle)
{
    std::uint64_t dropped = 0;
    if (FAILED(readCount(handle, &dropped)) || dropped == report.seen)
        return;
    report.seen = dropped;
    if (report.log.occur())
        lf_logDrops(report);
}

// The end of a connection: the count a minute held back is logged, the next connection counts
// afresh.
void lf_endDrops(DropReport& report)
{
    if (report.seen != report.logged)
        lf_logDrops(report);
    report = DropReport{report.text};
}

void lf_forgetUnbound(std::uint32_t objectId)
{
    std::erase_if(unboundObjects, [objectId](const UnboundObject& o) { return o.objectId == objectId; });
}

// The object leaves the list of added objects (the last entry moves into its place).
bool lf_forgetAdded(std::uint32_t objectId)
{
    const auto added = std::find(addedObjects.begin(), addedObjects.end(), objectId);
    if (added == addedObjects.end())
        return false;
    *added = addedObjects.back();
    addedObjects.pop_back();
    return true;
}

// A full list drops its older half at once: an entry costs the same however long a flood lasts.
template <typename T>
void lf_makeRoom(std::vector<T>& list)
{
    if (list.size() >= kMaxListedObjects)
        list.erase(list.begin(), list.begin() + kMaxListedObjects / 2);
}

// The datums of a data reply from offset 40, read with bounds checks.
class DataReader {
public:
    DataReader(const SIMCONNECT_RECV* message, std::uint32_t size)
        : bytes_(reinterpret_cast<const char*>(message)), size_(size), pos_(kSimObjectDataOffset)
    {
    }
    bool has(std::size_t count) const { return pos_ <= size_ && size_ - pos_ >= count; }
    double f64()
    {
        double value = 0.0;
        std::memcpy(&value, bytes_ + pos_, sizeof(value));
        pos_ += sizeof(value);
        return value;
    }
    std::int64_t i64()
    {
        std::int64_t value = 0;
        std::memcpy(&value, bytes_ + pos_, sizeof(value));
        pos_ += sizeof(value);
        return value;
    }
    // A fixed field of `width` bytes, up to its first NUL.
    std::string fixedText(std::size_t width)
    {
        const char* start = bytes_ + pos_;
        pos_ += width;
        return std::string(start, ::strnlen(start, width));
    }
    // A NUL-terminated text (STRINGV); none when the message ends before its NUL.
    std::optional<std::string> variableText()
    {
        if (pos_ >= size_)
            return std::nullopt;
        const char* start = bytes_ + pos_;
        const void* end = std::memchr(start, '\0', size_ - pos_);
        if (end == nullptr)
            return std::nullopt;
        std::string text(start, static_cast<const char*>(end));
        pos_ += text.size() + 1;
        return text;
    }

private:
    const char* bytes_;
    std::uint32_t size_;
    std::size_t pos_;
};

bool lf_liveUserPositionUnknown()
{
    const UserAcData live = gf_liveUserAcData();
    return gf_inNotYetKnownBox(live.latitude, live.longitude);
}

// ---- Exceptions ----

std::vector<PendingCreation>::iterator lf_findPendingCreation(std::uint32_t sendId)
{
    return std::find_if(pendingCreations.begin(), pendingCreations.end(),
                        [sendId](const PendingCreation& p) { return p.sendId == sendId; });
}

// A creation sent was answered, by its reply or by a refusal.
void lf_answerCreation()
{
    if (unansweredCreations > 0)
        --unansweredCreations;
}

void lf_onException(const SIMCONNECT_RECV_EXCEPTION& message)
{
    switch (message.dwException) {
    case SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID:
        if (!lf_liveUserPositionUnknown())
            lf_simWarning("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID");
        break;
    case SIMCONNECT_EXCEPTION_VERSION_MISMATCH:
        throw UserErrorException(95, fmt::format("Simconnect Version Mismatch, dwindex: {} ", message.dwIndex));
    case SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS:
        // Refused for the simulator's limit: no reply will answer the creation.
        if (lf_findPendingCreation(message.dwSendID) != pendingCreations.end())
            lf_answerCreation();
        lf_simMessage("SimConnect: too many objects (max 1000)");
        break;
    case SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE:
        lf_simLine("SIMCON EXCEP 19");
        break;
    case SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED: {
        const auto refused = lf_findPendingCreation(message.dwSendID);
        if (refused == pendingCreations.end())
            break;
        lf_answerCreation();
        const std::uint32_t key = refused->key;
        *refused = std::move(pendingCreations.back());
        pendingCreations.pop_back();
        if (key != 0)
            gf_pushSimCommand({0, key, 0, SimCommandType::CreateRefused, 0.0, 0.0});
        break;
    }
    case SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED:
        lf_simWarning("Simconnect Exception: load flight plan failed");
        break;
    case SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE:
        lf_simLine("SIMCON EXCEP 24");
        break;
    default:
        lf_simWarning(fmt::format("SIMCON EXCEP {}", message.dwException));
        break;
    }
}

// ---- Open reply ----

std::string lf_lettersDigitsAndSpace(std::string_view name)
{
    std::string reduced;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80 && (std::isalnum(u) || std::isspace(u)))
            reduced += c;
    }
    return reduced;
}

bool lf_versionAccepted(const std::string& simText)
{
    const std::string path = ALL_INSTALL_PATH.getValue();
    const auto has = [](const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; };
    const std::int32_t expected = expectedSimVersion.load();
    if (has(simText, "v5") && (has(path, "v5") || has(path, "V5") || expected == 5))
        return true;
    return has(simText, "v6") && (has(path, "v6") || has(path, "V6") || expected == 6);
}

void lf_onOpen(const SIMCONNECT_RECV_OPEN& message)
{
    const std::string name(message.szApplicationName, ::strnlen(message.szApplicationName, sizeof(message.szApplicationName)));
    if (name.empty()) {
        lf_simLine("! Simulator name empty?");
        return;
    }
    lf_changeStatus([](SimLinkStatus& s) { s.simConnected = true; });
    const std::string reduced = lf_lettersDigitsAndSpace(name);
    if (reduced == "KittyHawk" || reduced == "SunRise")
        throw UserErrorException(78, reduced + ", (MSFS) not being P3D connects ... ?");
    const std::string simText =
        fmt::format("{} ({}.{}.{}.{})", reduced, message.dwApplicationVersionMajor, message.dwApplicationVersionMinor,
                    message.dwApplicationBuildMajor, message.dwApplicationBuildMinor);
    lf_simLine(fmt::format("{} connected", simText));
    lf_changeStatus([&](SimLinkStatus& s) { s.simNameText = simText; });
    if (!lf_versionAccepted(simText)) {
        gf_enableControl(ALL_INSTALL_PATH);
        throw UserErrorException(78, fmt::format("wrong P3D version \"{}\" connects ... ?", simText));
    }
    gf_withdrawMessage();
}

// ---- Events ----

void lf_requestRestartForNewFlight(const std::string& warning)
{
    lf_simWarning(warning);
    recordUserParkAirportPending = true;
    gf_askForExit(ExitReason::Restart, kRestartSeconds);
}

void lf_onEvent(const SIMCONNECT_RECV_EVENT& message)
{
    switch (message.uEventID) {
    case simid::kEventSim: {
        const bool running = message.dwData == 1;
        simRunningFlag = running;
        lf_changeStatus([running](SimLinkStatus& s) { s.simRunningDisplay = running; });
        break;
    }
    case simid::kEventPositionChanged:
        lf_simWarning("User ac position changed");
        gf_askForExit(ExitReason::Restart, kRestartSeconds);
        break;
    case simid::kEventFlightLoaded:
        lf_requestRestartForNewFlight("Flight loaded");
        break;
    default:
        break;
    }
}

void lf_onObjectAddRemove(const SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE& message)
{
    if (message.eObjType != SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT)
        return;
    const std::uint32_t objectId = message.dwData;
    if (message.uEventID == simid::kEventObjectAdded) {
        if (objectId > userObjectId.load()) {
            lf_makeRoom(addedObjects);
            addedObjects.push_back(objectId);
        }
    } else if (message.uEventID == simid::kEventObjectRemoved) {
        lf_forgetAdded(objectId);
        lf_forgetUnbound(objectId);
        gf_pushSimCommand({objectId, 0, 0, SimCommandType::Removed, 0.0, 0.0});
    }
}

// A created object that its own data reply did not bind within the limit would stand frozen for
// the rest of the session: it is removed by its id.
void lf_removeLateUnboundObjects()
{
    const std::int64_t now = gf_steadyTicks();
    // The entries are in the order of their replies: none is late while the oldest is not.
    if (unboundObjects.empty() || now - unboundObjects.front().assignedTicks < kBindLimitTicks)
        return;
    std::erase_if(unboundObjects, [now](const UnboundObject& o) {
        if (now - o.assignedTicks < kBindLimitTicks)
            return false;
        std::erase(addedObjects, o.objectId);
        gf_logWarning(fmt::format("{} created object {} not bound, removed", gf_utcClockNow(), o.objectId));
        gf_queueRemoveAiAc(o.objectId);
        return true;
    });
}

void lf_onFrame(const SIMCONNECT_RECV_EVENT_FRAME& message)
{
    lf_flushSimQueues();
    lf_removeLateUnboundObjects();
    if (++frameCounter >= kFramesPerRateSample) {
        frameCounter = 0;
        lf_storeFrameRate(message.fFrameRate);
    }
}

// ---- Object data ----

void lf_onUserOnGround(DataReader data)
{
    if (!data.has(8))
        return;
    const std::int64_t onGround = data.i64();
    if (!lf_liveUserPositionUnknown()) {
        userOnGround = onGround != 0;
        userPositionValid = true;
    }
    tickFlag = true;
}

// The zulu date and time as Unix seconds; none for a date outside the calendar of the traffic
// clock. Each part is checked before the arithmetic, which then cannot overflow.
std::optional<std::int64_t> lf_unixSeconds(const UserAcData& block)
{
    using namespace std::chrono;
    constexpr std::int64_t kSecondsPerDay = 86400;
    if (block.zuluYear < static_cast<int>(year::min()) || block.zuluYear > static_cast<int>(year::max()))
        return std::nullopt;
    const year zuluYear{static_cast<int>(block.zuluYear)};
    const std::int64_t daysInYear = zuluYear.is_leap() ? 366 : 365;
    if (block.zuluDayOfYear < 1 || block.zuluDayOfYear > daysInYear || block.zuluTime < 0 ||
        block.zuluTime >= kSecondsPerDay)
        return std::nullopt;
    const sys_days newYear{zuluYear / January / 1};
    const std::int64_t seconds =
        (newYear.time_since_epoch().count() + block.zuluDayOfYear - 1) * kSecondsPerDay + block.zuluTime;
    if (!gf_isCalendarTime(static_cast<double>(seconds)))
        return std::nullopt;
    return seconds;
}

void lf_onUserAcBlock(const SIMCONNECT_RECV_SIMOBJECT_DATA& message, DataReader data)
{
    if (!data.has(sizeof(UserAcData)))
        return;
    UserAcData block;
    block.latitude = data.f64();
    block.longitude = data.f64();
    block.pitch = data.f64();
    block.bank = data.f64();
    block.heading = data.f64();
    block.altitude = std::max(0.0, data.f64());
    block.altAboveGround = data.f64();
    block.groundVelocity = data.f64();
    block.zuluTime = data.i64();
    block.zuluDayOfYear = data.i64();
    block.zuluYear = data.i64();
    block.lightStates = data.i64();
    lf_storeLiveUserAc(block);
    userAcDataValid = true;

    const LatLon position{block.latitude, block.longitude};
    if (!gf_inNotYetKnownBox(previousUserPosition.latitude, previousUserPosition.longitude) &&
        gf_distanceNm(previousUserPosition, position) > kTeleportNm) {
        lf_simLine("Teleport");
        gf_askForExit(ExitReason::Restart, kRestartSeconds);
    }
    previousUserPosition = position;
    userStandCheckPending = true; // the work thread looks up the stand under the new position
    if (g_professionalEdition.load()) {
        if (const std::optional<std::int64_t> seconds = lf_unixSeconds(block))
            simUnixTime = *seconds;
    }
    userObjectId = message.dwObjectID;
}

void lf_onUserAcTitle(DataReader data)
{
    std::optional<std::string> title = data.variableText();
    if (!title)
        return;
    if (title->empty()) {
        lf_simLine("! title of your ac is empty?");
        return;
    }
    if (title->size() > kMaxTitleLength)
        title->resize(kMaxTitleLength);
    // The simulator's strings are in the system's code page; the window, the log and the model
    // deduction take UTF-8.
    *title = platform::codePageToUtf8(*title);
    if (userAcTitle == *title)
        return;
    lf_changeStatus([&](SimLinkStatus& s) { s.userAcTitleText = *title; });
    userAcTitle = *title;
    lf_simIndented("SimConnect: User aircraft title: " + *title);
}

void lf_setUserModelKnown(bool known)
{
    lf_changeStatus([known](SimLinkStatus& s) { s.userModelFlag = known; });
}

// The model deduced from the title of an aircraft that reports no usable model; empty for none.
std::string lf_modelFromTitle(const std::string& title)
{
    for (const std::string_view model : {"A319", "A320", "A321"}) {
        if (title.starts_with(fmt::format("Aerosoft {}", model)))
            return std::string(model);
    }
    return {};
}

void lf_userModelSteps(std::string model)
{
    if (model.empty())
        throw UserErrorException(71, "atc_model= in [General] section of your aircraft.cfg is empty or missing");
    lf_simIndented(fmt::format("model raw: {} ", model));
    std::string logText = "SimConnect: User aircraft model: " + model;
    if (model.find("camerapod") != std::string::npos || model.find("Crew Vessel") != std::string::npos) {
        lf_setUserModelKnown(true);
        userHalfWingspan = gf_wingspanOf("E190");
        userHalfWingspanValid = true;
        userAcCategory = AcCategory::Light;
        userAcModel = model;
        return;
    }
    const double defaultSpan = gf_maxHalfWingspan();
    double span = model.size() < 5 ? gf_wingspanOf(model) : defaultSpan;
    userHalfWingspan = span;
    userHalfWingspanValid = true;
    if (span != defaultSpan) {
        lf_setUserModelKnown(true);
        logText += fmt::format(", half wing span: {:.1F} meter", span * 1852.0);
    } else {
        const std::string deduced = lf_modelFromTitle(userAcTitle.get());
        const double deducedSpan = deduced.empty() ? 0.0 : gf_wingspanOf(deduced);
        if (!deduced.empty()) {
            model = deduced;
            logText = "SimConnect: User aircraft model deduced from title: " + model;
        }
        if (deducedSpan != 0.0) {
            userHalfWingspan = deducedSpan;
            if (deducedSpan != defaultSpan) {
                lf_setUserModelKnown(true);
                logText += fmt::format(", half wing span: {:.1F} meter", deducedSpan * 1852.0);
            }
        } else {
            userHalfWingspan = defaultSpan;
            lf_setUserModelKnown(false);
            lf_simMessage("User aircraft wing span unknown, max is taken instead, please report in my Forum!");
        }
    }
    const AcCategory category = gf_categoryOf(gf_modelSizeClass(model));
    userAcCategory = category;
    userAcModel = model;
    logText += fmt::format(", category: {}", gf_categoryName(category));
    lf_simIndented(logText);
}

void lf_onUserAcModel(DataReader data)
{
    if (!data.has(kString32))
        return;
    const std::string model = data.fixedText(kString32);
    try {
        lf_userModelSteps(model);
    } catch (const UserErrorException&) {
        throw;
    } catch (...) {
        throw UserErrorException(73, "It looks like you have not selected an aircraft as user vehicle");
    }
}

void lf_onStaticCg(const SIMCONNECT_RECV_SIMOBJECT_DATA& message, DataReader data)
{
    if (!data.has(16))
        return;
    const double cg = data.f64();
    const double pitch = data.f64();
    gf_pushSimCommand({message.dwObjectID, 0, 0, SimCommandType::StaticCg, cg, pitch});
}

void lf_onAcInRange(const SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE& message, std::uint32_t size);

// Request 101 also answers the data request of one created object.
void lf_onSimObjectData(const SIMCONNECT_RECV_SIMOBJECT_DATA& message, std::uint32_t size)
{
    const DataReader data(&message, size);
    switch (message.dwRequestID) {
    case simid::kReqStaticCg: lf_onStaticCg(message, data); break;
    case simid::kReqUserTitle: lf_onUserAcTitle(data); break;
    case simid::kReqUserModel: lf_onUserAcModel(data); break;
    case simid::kReqUserOnGround: lf_onUserOnGround(data); break;
    case simid::kReqUserAc: lf_onUserAcBlock(message, data); break;
    case simid::kReqAcInRange: lf_onAcInRange(message, size); break;
    default: break;
    }
}

// ---- Aircraft in range ----

void lf_bindCreatedObject(std::uint32_t objectId, const std::string& atcId, double agl, std::int64_t onGround,
                          double groundAltitude)
{
    const auto pending = atcId.empty() ? pendingCreations.end()
                                       : std::find_if(pendingCreations.begin(), pendingCreations.end(),
                                                      [&](const PendingCreation& p) { return p.callsign == atcId; });
    if (pending == pendingCreations.end()) {
        lf_simMessage(fmt::format("just spawned, but not by {}, oid: {}, callsign \"{}\", altaboveGnd:{:.0f} ft, "
                                  "onground:{}, gnd_alt:{:.0f} ft ",
                                  "Orvanta_P3D", objectId, atcId, agl, onGround, groundAltitude));
        return;
    }
    const std::uint32_t key = pending->key;
    *pending = std::move(pendingCreations.back());
    pendingCreations.pop_back();
    lf_forgetUnbound(objectId);
    if (key == 0)
        return;
    lf_freezeAc(objectId);
    if (key <= kLastStaticKey)
        gf_pushSimCommand({objectId, key, 0, SimCommandType::StaticCreated, 0.0, 0.0});
    else
        gf_pushSimCommand({objectId, key, 0, SimCommandType::LiveCreated, 0.0, agl});
}

void lf_onAcInRange(const SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE& message, std::uint32_t size)
{
    if (message.dwRequestID != simid::kReqAcInRange)
        return;
    DataReader data(&message, size);
    if (!data.has(8 + 8 + 8 + kString32))
        return;
    const std::uint32_t objectId = message.dwObjectID;
    if (objectId <= userObjectId.load())
        return;
    const double agl = data.f64();
    const double groundAltitude = data.f64();
    const std::int64_t onGround = data.i64();
    const std::string atcId = data.fixedText(kString32);
    if (lf_forgetAdded(objectId)) {
        lf_bindCreatedObject(objectId, atcId, agl, onGround, groundAltitude);
        return;
    }
    if (agl <= kGroundDataMaxAglFt && (atcId.empty() || atcId.back() != '*')) {
        gf_pushSimCommand({objectId, onGround != 0 ? 1u : 0u, 0, SimCommandType::GroundData, groundAltitude, agl});
    }
}

// The creation's own reply: the new object is asked for its in-range data at once, so that it is
// bound however far from the user aircraft it was created and whatever the traffic range is. A
// reply answers one creation sent; while none is unanswered it names no object of this program.
void lf_onAssignedObjectId(const AssignedObjectIdReply& reply)
{
    if (reply.dwRequestID != simid::kReqCreate || reply.dwObjectID <= userObjectId.load())
        return;
    if (unansweredCreations == 0) {
        lf_simLine("! Creation reply without a creation sent, ignored");
        return;
    }
    lf_answerCreation();
    // Late entries go also when no frame comes.
    lf_removeLateUnboundObjects();
    lf_makeRoom(unboundObjects);
    unboundObjects.push_back({reply.dwObjectID, gf_steadyTicks()});
    lf_requestCreatedObjectData(reply.dwObjectID);
}

template <typename T>
void lf_with(const SIMCONNECT_RECV* message, std::uint32_t size, void (*handler)(const T&))
{
    if (const T* typed = gf_scMessageAs<T>(message, size))
        handler(*typed);
}

} // namespace

void lf_noteDroppedMessages(HANDLE handle)
{
    lf_noteDrops(droppedMessages, gf_scDroppedMessages, handle);
    lf_noteDrops(droppedSends, gf_scDroppedSends, handle);
}

void lf_endSimulatorLines()
{
    simulatorLines.flush();
    lf_endDrops(droppedMessages);
    lf_endDrops(droppedSends);
}

void lf_resetDispatchState()
{
    lf_endSimulatorLines();
    frameCounter = 0;
    previousUserPosition = {};
    unboundObjects.clear();
    simulatorQuit = false;
}

std::size_t lf_unboundObjectCount()
{
    return unboundObjects.size();
}

void lf_dispatchProc(SIMCONNECT_RECV* message, std::uint32_t size, void* /*context*/)
{
    if (gf_scMessageAs<SIMCONNECT_RECV>(message, size) == nullptr)
        return;
    switch (message->dwID) {
    case SIMCONNECT_RECV_ID_EXCEPTION: lf_with<SIMCONNECT_RECV_EXCEPTION>(message, size, lf_onException); break;
    case SIMCONNECT_RECV_ID_OPEN: lf_with<SIMCONNECT_RECV_OPEN>(message, size, lf_onOpen); break;
    case SIMCONNECT_RECV_ID_QUIT:
        simRunningFlag = false;
        simulatorQuit = true;
        break;
    case SIMCONNECT_RECV_ID_EVENT: lf_with<SIMCONNECT_RECV_EVENT>(message, size, lf_onEvent); break;
    case SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE:
        lf_with<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>(message, size, lf_onObjectAddRemove);
        break;
    case SIMCONNECT_RECV_ID_EVENT_FILENAME:
        // The file name itself is not read, so the header of an event is all it needs.
        if (gf_scMessageAs<SIMCONNECT_RECV_EVENT>(message, size) != nullptr)
            lf_requestRestartForNewFlight("New file loaded");
        break;
    case SIMCONNECT_RECV_ID_EVENT_FRAME: lf_with<SIMCONNECT_RECV_EVENT_FRAME>(message, size, lf_onFrame); break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA:
        // The header up to the datums; each handler checks the room its datums need.
        if (size >= kSimObjectDataOffset)
            lf_onSimObjectData(*static_cast<const SIMCONNECT_RECV_SIMOBJECT_DATA*>(message), size);
        break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE:
        if (const auto* data = gf_scMessageAs<SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE>(message, size))
            lf_onAcInRange(*data, size);
        break;
    case SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID:
        lf_with<AssignedObjectIdReply>(message, size, lf_onAssignedObjectId);
        break;
    case SIMCONNECT_RECV_ID_CLIENT_DATA:
        break;
    default:
        lf_simLine(fmt::format("! Unknown Dispatch dwID {}", message->dwID));
        break;
    }
}

// How realistically the engine flies a recorded capture. The capture's lines go through the
// traffic parser and the engine at their own pace (faster than real time) against the simulator
// double; what the simulator would show of every aircraft is then measured against the
// recording 30 seconds earlier, and one table of figures is printed per capture:
//
//   build/tools/realism/realism [options] ../shared/data/traffic/KLAX_20200617_2152Z.rttfc [more]
//
// The user aircraft parks at the airport of the capture, which is the park airport (KLAX unless
// --airport, --at and --elevation name another). As in the program, traffic is taken within
// 40 NM until the first 30-second job chooses the 10 NM ground range, and the simulator binds
// each creation a moment after it was handed over (--bind-delay).

#include "replay_double.h"

#include "airports/traffic_range.h"
#include "core/clock.h"
#include "core/geodesy.h"
#include "engine/live_removal.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <map>

namespace {

using namespace replay;

constexpr double kDelaySeconds = 30.0;
constexpr double kMetresPerNm = 1852.0;
constexpr double kFlyOutSeconds = 180.0;
// Positions the engine invents when the data end reach about 64 s in the air; moving on beyond
// this long after the last due position counts as flying on without data.
constexpr double kOverrunSeconds = 70.0;
constexpr double kStillMetres = 10.0;
constexpr double kMovedMetres = 300.0;
constexpr double kWindowSeconds = 30.0;
constexpr double kHeadingRateDegPerS = 30.0;
constexpr double kMaxFitDelay = 120.0;
constexpr std::size_t kMinFitSamples = 30;
// A recorded aircraft flies when it is this high above the field, or this fast this high.
constexpr double kClimbedFt = 500.0;
constexpr double kFlyingKn = 100.0;
constexpr double kFastLowFt = 300.0;
constexpr double kEventSeconds = 120.0;
constexpr double kGroundRangeNm = 5.0;
constexpr double kSampleFitMetres = 50.0;
constexpr double kRangeChoiceSeconds = 30.0; // the program's first 30-second job
constexpr double kRecordedGroundFt = 50.0;    // a recorded position this near the field is on the ground

// The command line's choices.
struct Options {
    ReplayAirport airport;
    double bindDelaySeconds = 1.0;
    bool showDetails = false;
    std::vector<std::filesystem::path> captures;
};

struct Recorded {
    double stamp = 0.0;
    LatLon at;
    bool airborne = false;
    double altitude = 0.0;    // feet
    double groundSpeed = 0.0; // knots
};

struct Shown {
    double time = 0.0;
    LatLon at;
    double heading = 0.0; // radians
    bool ground = false;
};

struct Aircraft {
    std::vector<Recorded> track;    // the recording, by stamp
    std::vector<Shown> shown;       // what the simulator showed, once a second
    std::vector<double> removedAt;  // times its object went away
    bool hadRecord = false;
    std::size_t jumps = 0;
    std::size_t writesBelowGround = 0;
    std::optional<double> recordAt;
    std::optional<double> createdAt;
    std::optional<Shown> firstPose;
};

std::vector<std::string> lf_fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream split(line);
    for (std::string field; std::getline(split, field, ',');)
        fields.push_back(field);
    return fields;
}

// A recorded position counts as airborne when the feed flags it so, and at the airport when it
// lies above the field too: feeds flag the take-off and landing rolls airborne now and then.
std::vector<CaptureLine> lf_readCapture(const std::filesystem::path& file, const ReplayAirport& airport,
                                        std::map<std::uint32_t, Aircraft>& fleet)
{
    std::ifstream text(file, std::ios::binary);
    if (!text)
        throw std::runtime_error("cannot read " + file.string());
    std::vector<CaptureLine> lines;
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.starts_with("RTTFC"))
            continue;
        const std::vector<std::string> f = lf_fields(line);
        if (f.size() < 15)
            continue;
        const double stamp = std::stod(f[14]);
        const auto hex = static_cast<std::uint32_t>(std::stoul(f[1]));
        const LatLon at{std::stod(f[2]), std::stod(f[3])};
        const double altitude = std::stod(f[4]);
        const bool atAirport = gf_distanceNm(at, airport.position) <= kGroundRangeNm;
        const bool airborne = f[6] != "1" && (!atAirport || altitude > airport.elevationFt + kRecordedGroundFt);
        fleet[hex].track.push_back({stamp, at, airborne, altitude, std::stod(f[8])});
        lines.push_back({stamp, std::move(line)});
    }
    // A receiver gets the lines in the order of their time stamps.
    std::stable_sort(lines.begin(), lines.end(), [](const CaptureLine& a, const CaptureLine& b) { return a.stamp < b.stamp; });
    for (auto& [hex, ac] : fleet) {
        std::stable_sort(ac.track.begin(), ac.track.end(), [](const Recorded& a, const Recorded& b) { return a.stamp < b.stamp; });
        ac.track.erase(std::unique(ac.track.begin(), ac.track.end(),
                                   [](const Recorded& a, const Recorded& b) { return a.stamp == b.stamp; }),
                       ac.track.end());
    }
    return lines;
}

double lf_metres(LatLon a, LatLon b)
{
    return gf_distanceNm(a, b) * kMetresPerNm;
}

// The recorded position at `stamp`, between the two recorded positions around it.
std::optional<Recorded> lf_recordedAt(const std::vector<Recorded>& track, double stamp)
{
    if (track.empty() || stamp < track.front().stamp || stamp > track.back().stamp)
        return std::nullopt;
    const auto after = std::lower_bound(track.begin(), track.end(), stamp,
                                        [](const Recorded& r, double s) { return r.stamp < s; });
    if (after == track.begin())
        return *after;
    const Recorded& a = *(after - 1);
    const Recorded& b = *after;
    const double f = (stamp - a.stamp) / (b.stamp - a.stamp);
    return Recorded{stamp,
                    {a.at.latitude + f * (b.at.latitude - a.at.latitude), a.at.longitude + f * (b.at.longitude - a.at.longitude)},
                    f < 0.5 ? a.airborne : b.airborne, a.altitude + f * (b.altitude - a.altitude),
                    a.groundSpeed + f * (b.groundSpeed - a.groundSpeed)};
}

double lf_quantile(std::vector<double> values, double q)
{
    if (values.empty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(std::lround(q * static_cast<double>(values.size() - 1)))];
}

// The whole-second delay behind the recording that fits the shown samples best (least mean distance).
std::optional<double> lf_bestDelay(const Aircraft& ac, bool ground)
{
    std::vector<const Shown*> samples;
    for (std::size_t i = 1; i < ac.shown.size(); ++i) {
        const Shown& s = ac.shown[i];
        const bool moving = ac.shown[i - 1].time + 1.5 > s.time && lf_metres(ac.shown[i - 1].at, s.at) > 1.0;
        if (s.ground == ground && moving)
            samples.push_back(&s);
    }
    double best = 0.0;
    double bestError = std::numeric_limits<double>::infinity();
    for (double d = 0.0; d <= kMaxFitDelay; d += 1.0) {
        double sum = 0.0;
        std::size_t n = 0;
        for (const Shown* s : samples)
            if (const auto r = lf_recordedAt(ac.track, s->time - d)) {
                sum += lf_metres(s->at, r->at);
                ++n;
            }
        if (n >= kMinFitSamples && sum / static_cast<double>(n) < bestError) {
            bestError = sum / static_cast<double>(n);
            best = d;
        }
    }
    if (!std::isfinite(bestError))
        return std::nullopt;
    return best;
}

// One line about an aircraft on its way out while its recording goes on, for finding the rule.
void lf_showRemoval(const LiveAc& ac, const Aircraft& a, double now)
{
    if (a.track.empty() || now + 10.0 >= a.track.back().stamp + kDelaySeconds)
        return;
    const auto next = std::upper_bound(a.track.begin(), a.track.end(), now - kDelaySeconds,
                                       [](double s, const Recorded& r) { return s < r.stamp; });
    fmt::print("removed t={:.0f} {} {} phase={} ground={} stream={} invented={} holding={} landing={} rollingOut={} "
               "takeoffRun={} next recorded in {:.0f} s\n",
               now - a.track.front().stamp, ac.desc.key, ac.desc.callsign, static_cast<int>(ac.phase), ac.groundMode,
               ac.stream.size(), ac.extrapolationsLeft, ac.holding, ac.landing, ac.rollingOut, ac.takeoffRun,
               next == a.track.end() ? -1.0 : next->stamp - (now - kDelaySeconds));
}

// For each moving sample on the ground (or in the air), the whole second behind the recording
// whose recorded position lies nearest: how far behind the aircraft runs, sample by sample.
void lf_sampleDelays(const Aircraft& ac, bool ground, std::vector<double>& delays)
{
    for (std::size_t i = 1; i < ac.shown.size(); ++i) {
        const Shown& s = ac.shown[i];
        if (s.ground != ground || ac.shown[i - 1].time + 1.5 <= s.time || lf_metres(ac.shown[i - 1].at, s.at) <= 1.0)
            continue;
        double best = -1.0;
        double bestMetres = kSampleFitMetres;
        for (double d = 0.0; d <= kMaxFitDelay; d += 1.0)
            if (const auto r = lf_recordedAt(ac.track, s.time - d); r && lf_metres(s.at, r->at) < bestMetres) {
                bestMetres = lf_metres(s.at, r->at);
                best = d;
            }
        if (best >= 0.0)
            delays.push_back(best);
    }
}

// Checks of every write to the simulator: each aircraft in the simulator is written once a
// pass. A jump is a write that lies farther from the object's previous write (or from where the
// simulator created it) than three times its speed covers in the time between; a write below
// the ground puts the aircraft under the airport's elevation.
class Replay {
public:
    Replay(std::map<std::uint32_t, Aircraft>& fleet, const Options& options)
        : fleet_(fleet), elevationFt_(options.airport.elevationFt),
          sim_(options.airport.elevationFt,
               static_cast<std::int32_t>(std::lround(options.bindDelaySeconds * kPassesPerSecond)))
    {
    }

    void pass(double now)
    {
        const std::int32_t p = passCounter.load();
        sim_.beforePass(p);
        gf_updateAI();
        sim_.afterPass(p);
        for (const SimulatorDouble::Creation& c : sim_.creations)
            if (c.record.key > kLastStaticKey)
                last_[c.objectId] = {{c.record.latitude, c.record.longitude}, now, 0.0};
        observe(now, p % kPassesPerSecond == 0);
    }
    std::size_t jumps = 0;
    std::size_t writesBelowGround = 0;
    bool showDetails = false;

    void exitProgram(double now)
    {
        gf_removeAllLiveAc();
        for (int i = 0; i < 5 * kPassesPerSecond; ++i)
            pass(now + static_cast<double>(i) / kPassesPerSecond);
        sim_.removeAllQueued();
    }

private:
    void observe(double now, bool sample)
    {
        std::set<std::uint32_t> written;
        for (const LiveAc& ac : liveAcTable) {
            Aircraft& a = fleet_[ac.desc.key];
            if (!a.recordAt)
                a.recordAt = now; // its first message taken in
            a.hadRecord = true;
            if (ac.state == AcState::Removing && last_.contains(ac.objectId) && showDetails)
                lf_showRemoval(ac, a, now);
            if (ac.state != AcState::InSim || ac.objectId == 0)
                continue;
            const AcPose& pose = ac.pose;
            const LatLon at{pose.latitude, pose.longitude};
            const Shown shown{now, at, pose.heading, ac.groundMode != 0};
            if (!a.createdAt) {
                a.createdAt = now;
                a.firstPose = shown;
            }
            if (sample)
                a.shown.push_back(shown);
            const double speed = std::max({ac.legSpeed, pose.trueAirspeed, 10.0});
            if (const auto it = last_.find(ac.objectId); it != last_.end()) {
                const double stepNm = gf_distanceNm(it->second.at, at);
                const double seconds = std::max(now - it->second.time, 1.0 / kPassesPerSecond);
                if (stepNm > 3.0 * std::max(speed, it->second.speed) * seconds / 3600.0) {
                    ++jumps;
                    if (showDetails && ++a.jumps <= 3)
                        fmt::print("jump t={:.0f} {} {} phase={} ground={} step={:.1f} m in {:.2f} s speed={:.0f} kn "
                                   "curve={}\n",
                                   now, ac.desc.key, ac.desc.callsign, static_cast<int>(ac.phase), ac.groundMode,
                                   stepNm * kMetresPerNm, seconds, speed, ac.curveActive());
                }
            }
            if (pose.altitude < elevationFt_) {
                ++writesBelowGround;
                if (showDetails && ++a.writesBelowGround <= 3)
                    fmt::print("below ground t={:.0f} {} {} phase={} ground={} altitude={:.0f} ft\n", now,
                               ac.desc.key, ac.desc.callsign, static_cast<int>(ac.phase), ac.groundMode,
                               pose.altitude);
            }
            last_[ac.objectId] = {at, now, speed, ac.desc.key};
            written.insert(ac.objectId);
        }
        // An object of ours not written any more has gone (or is going) from the simulator.
        for (auto it = last_.begin(); it != last_.end();) {
            if (written.contains(it->first) || it->second.key == 0) {
                ++it;
                continue;
            }
            fleet_[it->second.key].removedAt.push_back(now);
            it = last_.erase(it);
        }
    }
    struct Last {
        LatLon at;
        double time = 0.0;
        double speed = 0.0;
        std::uint32_t key = 0; // 0 until its first write
    };
    std::map<std::uint32_t, Aircraft>& fleet_;
    std::map<std::uint32_t, Last> last_; // by object id
    double elevationFt_;
    SimulatorDouble sim_;
};

struct Figures {
    std::size_t aircraft = 0, records = 0, created = 0;
    std::vector<double> creationDelay, firstPoseMetres;
    std::size_t takeoffs = 0, takeoffsOfCreated = 0, takeoffsFlown = 0;
    std::size_t landings = 0, landingsOfCreated = 0, landingsFlown = 0;
    std::size_t stuck = 0, overrun = 0;
    double worstOverrun = 0.0;
    std::size_t removedWhileDataGoOn = 0, removedWhileDataGoOnGround = 0;
    std::vector<double> delayAir, delayGround, airError, sampleDelayAir, sampleDelayGround;
    std::size_t jumps = 0, writesBelowGround = 0, headingWindows = 0, headingAircraft = 0;
    bool showDetails = false;
};

// Whether the shown aircraft changed between ground and air (to `toAir`) near `time`.
bool lf_changedNear(const Aircraft& ac, double time, bool toAir)
{
    for (std::size_t i = 1; i < ac.shown.size(); ++i) {
        const Shown& a = ac.shown[i - 1];
        const Shown& b = ac.shown[i];
        if (a.ground == toAir && b.ground != toAir && std::abs(b.time - time) <= kEventSeconds)
            return true;
    }
    return false;
}

void lf_measure(std::uint32_t hex, const Aircraft& ac, const ReplayAirport& airport, Figures& f)
{
    ++f.aircraft;
    f.records += ac.hadRecord ? 1 : 0;
    const double lastDue = ac.track.back().stamp + kDelaySeconds;
    // A change between ground and air counts as a take-off or a landing when the air side shows
    // the aircraft flying: climbed well above the field whatever its reported speed (feeds freeze
    // it now and then), or fast above it.
    const auto flying = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to && k < ac.track.size(); ++k) {
            const Recorded& r = ac.track[k];
            const double height = r.altitude - airport.elevationFt;
            if (r.airborne && (height >= kClimbedFt || (height >= kFastLowFt && r.groundSpeed >= kFlyingKn)) &&
                std::abs(r.stamp - ac.track[from].stamp) <= kEventSeconds)
                return true;
        }
        return false;
    };
    for (std::size_t i = 1; i < ac.track.size(); ++i) {
        const Recorded& a = ac.track[i - 1];
        const Recorded& b = ac.track[i];
        // Only the park airport's own movements: ground lines elsewhere are not taken in.
        if (gf_distanceNm(a.at, airport.position) > kGroundRangeNm)
            continue;
        if (!a.airborne && b.airborne && flying(i, ac.track.size())) {
            ++f.takeoffs;
            f.takeoffsOfCreated += ac.createdAt ? 1 : 0;
            const bool flown = lf_changedNear(ac, b.stamp + kDelaySeconds, true);
            f.takeoffsFlown += flown ? 1 : 0;
            if (!flown && f.showDetails)
                fmt::print("take-off not flown t={:.0f} {} created={}\n", b.stamp, hex, ac.createdAt.has_value());
        }
        if (a.airborne && !b.airborne) {
            std::size_t from = i;
            while (from > 0 && ac.track[from - 1].airborne && b.stamp - ac.track[from - 1].stamp <= kEventSeconds)
                --from;
            if (flying(from, i)) {
                ++f.landings;
                f.landingsOfCreated += ac.createdAt ? 1 : 0;
                const bool flown = lf_changedNear(ac, b.stamp + kDelaySeconds, false);
                f.landingsFlown += flown ? 1 : 0;
                if (!flown && f.showDetails)
                    fmt::print("landing not flown t={:.0f} {} created={}\n", b.stamp, hex, ac.createdAt.has_value());
            }
        }
    }
    for (const double t : ac.removedAt)
        if (t + 10.0 < lastDue && lf_recordedAt(ac.track, t - kDelaySeconds)) {
            ++f.removedWhileDataGoOn;
            const auto r = lf_recordedAt(ac.track, t - kDelaySeconds);
            f.removedWhileDataGoOnGround += r->airborne ? 0 : 1;
        }
    if (!ac.createdAt)
        return;
    ++f.created;
    f.creationDelay.push_back(*ac.createdAt - (*ac.recordAt + kDelaySeconds));
    const auto firstRecorded = lf_recordedAt(ac.track, ac.firstPose->time - kDelaySeconds);
    if (firstRecorded)
        f.firstPoseMetres.push_back(lf_metres(ac.firstPose->at, firstRecorded->at));
    if (f.showDetails && (f.creationDelay.back() > 60.0 || (firstRecorded && f.firstPoseMetres.back() > 300.0)))
        fmt::print("created {} {:.0f} s after its first due position, {:.0f} m from the recorded one, {}\n", hex,
                   f.creationDelay.back(), firstRecorded ? f.firstPoseMetres.back() : -1.0,
                   ac.firstPose->ground ? "on the ground" : "airborne");

    bool stuck = false;
    bool headingJumps = false;
    double overrun = 0.0;
    for (std::size_t i = 0; i < ac.shown.size(); ++i) {
        const Shown& s = ac.shown[i];
        if (i > 0 && s.ground && ac.shown[i - 1].ground && ac.shown[i - 1].time + 1.5 > s.time) {
            const double turn = std::abs(std::remainder(s.heading - ac.shown[i - 1].heading, 2.0 * geo::kPi));
            if (turn * geo::kRadToDeg > kHeadingRateDegPerS) {
                if (f.showDetails)
                    fmt::print("ground turn t={:.0f} {} {:.0f} deg in one second\n", s.time, hex, turn * geo::kRadToDeg);
                ++f.headingWindows;
                headingJumps = true;
            }
        }
        if (i > 0 && s.time > lastDue + kOverrunSeconds && lf_metres(ac.shown[i - 1].at, s.at) > 1.0)
            overrun = std::max(overrun, s.time - lastDue);
        if (!s.ground)
            if (const auto r = lf_recordedAt(ac.track, s.time - kDelaySeconds); r && r->airborne)
                f.airError.push_back(lf_metres(s.at, r->at));
        // Standing still for 30 s (every sample of the window within 10 m) while the recording moved 300 m.
        std::size_t j = i;
        bool still = true;
        for (; j < ac.shown.size() && ac.shown[j].time <= s.time + kWindowSeconds; ++j)
            still = still && lf_metres(s.at, ac.shown[j].at) < kStillMetres;
        if (still && j > i && ac.shown[j - 1].time >= s.time + kWindowSeconds - 1.0) {
            const auto from = lf_recordedAt(ac.track, s.time - kDelaySeconds);
            const auto to = lf_recordedAt(ac.track, s.time + kWindowSeconds - kDelaySeconds);
            if (from && to && lf_metres(from->at, to->at) >= kMovedMetres) {
                if (f.showDetails && !stuck)
                    fmt::print("standing t={:.0f} {} {} while the recording moved {:.0f} m\n", s.time, hex,
                               s.ground ? "on the ground" : "airborne", lf_metres(from->at, to->at));
                stuck = true;
            }
        }
    }
    f.stuck += stuck ? 1 : 0;
    f.headingAircraft += headingJumps ? 1 : 0;
    if (overrun > 0.0) {
        ++f.overrun;
        f.worstOverrun = std::max(f.worstOverrun, overrun);
    }
    lf_sampleDelays(ac, false, f.sampleDelayAir);
    lf_sampleDelays(ac, true, f.sampleDelayGround);
    if (const auto d = lf_bestDelay(ac, false))
        f.delayAir.push_back(*d);
    if (const auto d = lf_bestDelay(ac, true))
        f.delayGround.push_back(*d);
}

std::string lf_worstDelay(const std::vector<double>& delays)
{
    if (delays.empty())
        return "-";
    const double worst = *std::max_element(delays.begin(), delays.end(), [](double a, double b) {
        return std::abs(a - kDelaySeconds) < std::abs(b - kDelaySeconds);
    });
    return fmt::format("{:.0f}", worst);
}

void lf_print(const std::string& name, const ReplayAirport& airport, const Figures& f)
{
    const auto row = [](const std::string& what, const std::string& value) { fmt::print("| {:<72} | {:>18} |\n", what, value); };
    fmt::print("\n{}\n| {:<72} | {:>18} |\n|{:-<74}|{:->20}|\n", name, "figure", "value", "", "");
    row("aircraft in the capture / with a record (passed the filters) / created",
        fmt::format("{} / {} / {}", f.aircraft, f.records, f.created));
    row("creation after the first taken position is due, s (median, p95)",
        fmt::format("{:.1f}, {:.1f}", lf_quantile(f.creationDelay, 0.5), lf_quantile(f.creationDelay, 0.95)));
    row("first pose from the recorded position, m (median, worst)",
        fmt::format("{:.0f}, {:.0f}", lf_quantile(f.firstPoseMetres, 0.5), lf_quantile(f.firstPoseMetres, 1.0)));
    row(fmt::format("take-offs at {} flown (ground to air within 120 s), of created aircraft (all)", airport.code),
        fmt::format("{} of {} ({})", f.takeoffsFlown, f.takeoffsOfCreated, f.takeoffs));
    row(fmt::format("landings at {} flown (air to ground within 120 s), of created aircraft (all)", airport.code),
        fmt::format("{} of {} ({})", f.landingsFlown, f.landingsOfCreated, f.landings));
    row("aircraft standing still 30 s while the recorded one moved 300 m", fmt::format("{}", f.stuck));
    row(fmt::format("aircraft moving more than {:.0f} s after their last due position (worst s)", kOverrunSeconds),
        fmt::format("{} ({:.0f})", f.overrun, f.worstOverrun));
    row("removals while the data go on (of them on the ground)",
        fmt::format("{} ({})", f.removedWhileDataGoOn, f.removedWhileDataGoOnGround));
    row("best-fit delay in the air, s (median, worst; target 30)",
        fmt::format("{:.0f}, {}", lf_quantile(f.delayAir, 0.5), lf_worstDelay(f.delayAir)));
    row("best-fit delay on the ground, s (median, worst; target 30)",
        fmt::format("{:.0f}, {}", lf_quantile(f.delayGround, 0.5), lf_worstDelay(f.delayGround)));
    row("moving samples within 50 m of the recording: delay in the air, s (median, p5, p95)",
        fmt::format("{:.0f}, {:.0f}, {:.0f}", lf_quantile(f.sampleDelayAir, 0.5), lf_quantile(f.sampleDelayAir, 0.05),
                    lf_quantile(f.sampleDelayAir, 0.95)));
    row("moving samples within 50 m of the recording: delay on the ground, s (median, p5, p95)",
        fmt::format("{:.0f}, {:.0f}, {:.0f}", lf_quantile(f.sampleDelayGround, 0.5),
                    lf_quantile(f.sampleDelayGround, 0.05), lf_quantile(f.sampleDelayGround, 0.95)));
    row("airborne horizontal error against the recording 30 s earlier, m (median, p95)",
        fmt::format("{:.0f}, {:.0f}", lf_quantile(f.airError, 0.5), lf_quantile(f.airError, 0.95)));
    row("jumps over 3x the speed (writes)", fmt::format("{}", f.jumps));
    row(fmt::format("writes below the ground ({:.0f} ft)", airport.elevationFt), fmt::format("{}", f.writesBelowGround));
    row("ground heading rate over 30 deg/s (one-second windows / aircraft)",
        fmt::format("{} / {}", f.headingWindows, f.headingAircraft));
}

Figures lf_replay(const std::filesystem::path& capture, const Options& options)
{
    std::map<std::uint32_t, Aircraft> fleet;
    const std::vector<CaptureLine> lines = lf_readCapture(capture, options.airport, fleet);
    if (lines.empty())
        throw std::runtime_error("no traffic lines in " + capture.string());
    lf_giveEveryAircraftALivery(lines);
    gf_setTrafficRangeNm(40);
    autoRangeGroundFlag = false;
    Replay replay(fleet, options);
    replay.showDetails = options.showDetails;
    const double start = lines.front().stamp;
    const std::int32_t first = passCounter.load();
    const std::int32_t rangeChoice = first + static_cast<std::int32_t>(kRangeChoiceSeconds * kPassesPerSecond);
    const auto now = [&] { return start + static_cast<double>(passCounter.load() - first) / kPassesPerSecond; };
    const auto pass = [&] {
        if (passCounter.load() == rangeChoice)
            gf_chooseTrafficRange({true, options.airport.elevationFt + kStaticCgFt, options.airport.position});
        replay.pass(now());
    };
    for (std::size_t next = 0; next < lines.size();) {
        for (; next < lines.size() && lines[next].stamp <= now(); ++next)
            trafficReader.handleDatagram(lines[next].text);
        pass();
    }
    for (int i = 0; i < kFlyOutSeconds * kPassesPerSecond; ++i)
        pass();
    replay.exitProgram(now());
    Figures f;
    f.showDetails = options.showDetails;
    for (const auto& [hex, ac] : fleet)
        if (!ac.track.empty())
            lf_measure(hex, ac, options.airport, f);
    f.jumps = replay.jumps;
    f.writesBelowGround = replay.writesBelowGround;
    return f;
}

// "LAT,LON" in degrees.
LatLon lf_position(std::string_view text)
{
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos)
        throw std::invalid_argument("a position is LAT,LON");
    return {std::stod(std::string(text.substr(0, comma))), std::stod(std::string(text.substr(comma + 1)))};
}

Options lf_options(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::invalid_argument(std::string(arg) + " needs a value");
            return argv[++i];
        };
        if (arg == "--details") {
            options.showDetails = true;
        } else if (arg == "--airport") {
            // ICAO[,IATA]
            const std::string codes = value();
            const std::size_t comma = codes.find(',');
            options.airport.code = codes.substr(0, comma);
            options.airport.iata = comma == std::string::npos ? std::string() : codes.substr(comma + 1);
        } else if (arg == "--at") {
            options.airport.position = lf_position(value());
        } else if (arg == "--elevation") {
            options.airport.elevationFt = std::stod(value());
        } else if (arg == "--bind-delay") {
            options.bindDelaySeconds = std::stod(value());
        } else if (arg.starts_with("--")) {
            throw std::invalid_argument("unknown option " + std::string(arg));
        } else {
            options.captures.push_back(std::filesystem::absolute(argv[i]));
        }
    }
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    try {
        options = lf_options(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        options.captures.clear();
    }
    if (options.captures.empty()) {
        std::cerr << "usage: realism [--details] [--airport ICAO[,IATA] --at LAT,LON --elevation FT] "
                     "[--bind-delay SECONDS] CAPTURE.rttfc [CAPTURE.rttfc ...]\n"
                     "  the airport is KLAX unless named; the simulator binds a creation 1 s after it was handed over\n";
        return 2;
    }
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "orvanta_realism";
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder); // flight plans land in the working folder
    lf_prepareAirport(folder, options.airport);
    for (const std::filesystem::path& capture : options.captures) {
        gf_resetEngineQueues();
        gf_clearSimCommands();
        lf_print(capture.filename().string(), options.airport, lf_replay(capture, options));
    }
    return 0;
}

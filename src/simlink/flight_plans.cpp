#include "simlink/flight_plans.h"

#include "core/files.h"
#include "core/log.h"
#include "core/shell_port.h"
#include "params/names.h"
#include "simconnect/simconnect.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_queues.h"

#include <condition_variable>
#include <deque>
#include <fmt/format.h>
#include <mutex>
#include <thread>
#include <ostream>
#include <system_error>

namespace {

std::mutex folderMutex;
fs::path flightPlanFolderPath;

// Text from outside input inside an element.
std::string lf_escapeXml(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += c; break;
        }
    }
    return escaped;
}

bool lf_flysIfr(AcCategory category)
{
    return category == AcCategory::Buzjets || category == AcCategory::Large || category == AcCategory::Heavy;
}

fs::path lf_folder()
{
    std::lock_guard lock(folderMutex);
    return flightPlanFolderPath;
}

} // namespace

void gf_createFlightPlanFolder()
{
    std::lock_guard lock(folderMutex);
    flightPlanFolderPath = g_flightPlanFolder;
    if (!fs::exists(flightPlanFolderPath))
        fs::create_directories(flightPlanFolderPath);
}

fs::path gf_flightPlanFolderPath()
{
    return lf_folder();
}

std::string gf_flightPlanFileName(std::uint32_t objectId)
{
    return fmt::format("{}.pln", objectId);
}

std::string gf_flightPlanText(const FlightPlanRoute& route)
{
    return fmt::format("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
                       "<FlightPlan.FlightPlan>\n"
                       "<FPType>{}</FPType>\n"
                       "<DepartureID>{}</DepartureID>\n"
                       "<DestinationID>{}</DestinationID>\n"
                       "</FlightPlan.FlightPlan>\n"
                       "</SimBase.Document>\n",
                       lf_flysIfr(route.category) ? "IFR" : "VFR", lf_escapeXml(route.origin),
                       lf_escapeXml(route.destination));
}

bool gf_writeFlightPlan(const fs::path& path, const FlightPlanRoute& route)
{
    const std::string text = gf_flightPlanText(route);
    return gf_saveFileAtomically(path, [&text](std::ostream& out) {
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        return static_cast<bool>(out);
    }, SaveDurability::Regenerable);
}

bool gf_giveFlightPlan(std::uint32_t objectId, const FlightPlanRoute& route, const std::string& label)
{
    const fs::path path = lf_folder() / gf_flightPlanFileName(objectId);
    bool given = gf_writeFlightPlan(path, route);
    if (given) {
        std::lock_guard lock(simConnectMutex);
        given = qmx::SUCCEEDED(qmx::SimConnect_AISetAircraftFlightPlan(gf_simConnectHandle(), objectId,
                                                                  gf_pathText(path).c_str(), simid::kReqFlightPlan));
    }
    if (!given)
        gf_logWarning(fmt::format("{} creating a flight plan failed", label));
    return given;
}

namespace {

struct PlanJob {
    std::uint32_t objectId = 0;
    bool deletion = false;
    FlightPlanRoute route;
    std::string label;
};

// The queue of the flight-plan worker. Its thread starts with the first job and ends when the
// folder is removed.
std::mutex planMutex;
std::condition_variable planQueued;
std::condition_variable planDone;
std::deque<PlanJob> planJobs; // under planMutex
bool planBusy = false;        // under planMutex: a job taken from the queue is being done
bool planClosing = false;     // under planMutex
std::thread planThread;       // under planMutex

// A program that ends without removing the folder (a test) still ends the worker first.
struct PlanWorkerEnd {
    ~PlanWorkerEnd() { gf_endFlightPlanWorker(); }
} planWorkerEnd;

void lf_deletePlanFile(const PlanJob& job)
{
    const fs::path path = lf_folder() / gf_flightPlanFileName(job.objectId);
    std::error_code error;
    if (fs::exists(path, error) && !fs::remove(path, error) && error)
        gf_logWarning(fmt::format("{}: flight plan {} not deleted: {}", job.label, path.string(), error.message()));
}

void lf_doPlanJob(const PlanJob& job)
{
    try {
        if (job.deletion)
            lf_deletePlanFile(job);
        else
            gf_giveFlightPlan(job.objectId, job.route, job.label);
    } catch (...) {
        gf_reportCurrentException("lf_planWorker");
    }
}

void lf_planWorker()
{
    std::unique_lock lock(planMutex);
    for (;;) {
        planQueued.wait(lock, [] { return !planJobs.empty() || planClosing; });
        if (planJobs.empty())
            return;
        const PlanJob job = std::move(planJobs.front());
        planJobs.pop_front();
        planBusy = true;
        lock.unlock();
        lf_doPlanJob(job);
        lock.lock();
        planBusy = false;
        if (planJobs.empty())
            planDone.notify_all();
    }
}

// With planMutex held.
void lf_queuePlanJob(PlanJob job)
{
    planJobs.push_back(std::move(job));
    if (!planThread.joinable()) {
        try {
            planThread = std::thread(lf_planWorker);
        } catch (...) {
            planJobs.pop_back();
            throw;
        }
    }
    planQueued.notify_one();
}

} // namespace

void gf_queueFlightPlan(std::uint32_t objectId, FlightPlanRoute route, std::string label)
{
    std::lock_guard lock(planMutex);
    lf_queuePlanJob(PlanJob{objectId, false, std::move(route), std::move(label)});
}

void gf_queueFlightPlanDeletion(std::uint32_t objectId, std::string label)
{
    std::lock_guard lock(planMutex);
    std::erase_if(planJobs, [objectId](const PlanJob& job) { return !job.deletion && job.objectId == objectId; });
    lf_queuePlanJob(PlanJob{objectId, true, {}, std::move(label)});
}

void gf_waitForFlightPlans()
{
    std::unique_lock lock(planMutex);
    planDone.wait(lock, [] { return planJobs.empty() && !planBusy; });
}

void gf_endFlightPlanWorker()
{
    std::thread ending;
    {
        std::lock_guard lock(planMutex);
        planJobs.clear();
        planClosing = true;
        ending = std::move(planThread);
    }
    planQueued.notify_all();
    planDone.notify_all();
    if (ending.joinable())
        ending.join();
    std::lock_guard lock(planMutex);
    planClosing = false;
}

bool gf_removeFlightPlanFolder()
{
    gf_endFlightPlanWorker();
    const fs::path folder = lf_folder();
    try {
        if (folder.empty() || !fs::exists(folder))
            return false;
        fs::remove_all(folder);
    } catch (const std::exception& e) {
        gf_log(fmt::format("gf_removeFlightPlanFolder: {}", e.what()));
    }
    return true;
}

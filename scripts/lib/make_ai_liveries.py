#!/usr/bin/env python3
"""Installs a small set of AI aircraft into a stand-in simulator for the demo and the whole-program
runs: one package per model under <install>/SimObjects/DemoTraffic, each with an aircraft.cfg of
[fltsim.N] sections (one livery per airline, with its model and texture folders and its .air
file), and the simobjects.cfg entry that names the folder.

usage: make_ai_liveries.py <simulator install folder> <simulator ProgramData folder>
"""

import os
import sys

# Model code -> airlines flying it around Los Angeles; "PVT" liveries carry no airline code.
LIVERIES = {
    "A321": ["AAL", "JBU", "DAL"],
    "A21N": ["ASA", "AAL"],
    "A320": ["UAL", "JBU"],
    "A20N": ["NKS", "VIV"],
    "B738": ["SWA", "UAL", "AAL", "DAL", "ASA"],
    "B737": ["SWA", "UAL"],
    "B752": ["DAL", "UAL"],
    "B789": ["AAL", "UAL"],
    "B77W": ["JAL", "EVA", "AAL"],
    "A359": ["FJI", "DAL"],
    "E75L": ["SKW", "ASA"],
    "CRJ9": ["SKW"],
    "PC12": ["WSN"],
    "C172": ["PVT"],
    "P28A": ["PVT"],
    "AS50": ["PVT"],
    "R44": ["PVT"],
}


def livery_title(model, airline):
    return f"Demo {model} {airline}"


def livery_section(number, model, airline):
    lines = [f"[fltsim.{number}]",
             f"title={livery_title(model, airline)}",
             f"sim={model}",
             "model=demo",
             f"texture={airline}"]
    if airline != "PVT":
        lines.append(f"atc_parking_codes={airline}")
        lines.append("atc_parking_types=GATE")
    else:
        lines.append("atc_parking_types=RAMP")
    return "\n".join(lines) + "\n"


def write_package(root, model, airlines):
    folder = os.path.join(root, f"Demo {model}")
    os.makedirs(os.path.join(folder, "model.demo"), exist_ok=True)
    sections = []
    for number, airline in enumerate(airlines):
        os.makedirs(os.path.join(folder, f"texture.{airline}"), exist_ok=True)
        sections.append(livery_section(number, model, airline))
    with open(os.path.join(folder, f"{model}.air"), "wb") as air:
        air.write(b"\0" * 16)
    with open(os.path.join(folder, "aircraft.cfg"), "w", encoding="utf-8", newline="\r\n") as cfg:
        cfg.write("\n".join(sections))
        cfg.write(f"\n[General]\natc_type=DEMO\natc_model={model}\ncategory=airplane\n")


def main():
    install, program_data = sys.argv[1], sys.argv[2]
    root = os.path.join(install, "SimObjects", "DemoTraffic")
    for model, airlines in LIVERIES.items():
        write_package(root, model, airlines)
    os.makedirs(program_data, exist_ok=True)
    with open(os.path.join(program_data, "simobjects.cfg"), "w", encoding="utf-8", newline="\r\n") as cfg:
        cfg.write("[Entry.0]\nTitle=Demo traffic\nPath=SimObjects\\DemoTraffic\nRequired=False\nActive=True\n")


if __name__ == "__main__":
    main()

// The machine the simulator presents when no scenario is chosen: a current
// kernel with one first-series controller and two second-series controllers
// of different generations, each with drives and units. The first-series
// controller has a RAID 5, a RAID 10 rebuilding one of its mirrors, a
// degraded RAID 1 and a free drive. Each second-series controller has its
// host bus, units of several types, one of them in trouble, a spare and free
// drives (the later one also a unit of two LUNs), a battery backup unit and
// the events of their last days, and behind them a SAF-TE enclosure and an
// SES enclosure with every kind of element, holding their drives (the SES
// one an enclosure module whose firmware can be updated).
#include "sim/sim.h"

namespace sim {

const char* default_scenario() {
    return R"(# Default simulated machine.
kernel release=6.1.0-sim

driver name=dq-xxxx pairing=proc
driver name=dq-Mxxx pairing=sysfs
driver name=dq-sas pairing=sysfs

scsihost host=0 stats="ahci\n"

controller index=1 driver=dq-xxxx model="QX-2400-12" serial="L1A0000001" firmware="FE7X 1.05.00.034" bios="BE7X 1.08.00.016" boot="BL7X 1.01.00.004" ports=12 memory=2097152
  drive port=0 model="SIMDISK S250" serial="S250-0001" capacity=488397168 firmware="08.02D08"
  drive port=1 model="SIMDISK S250" serial="S250-0002" capacity=488397168 firmware="08.02D08"
  drive port=2 model="SIMDISK S250" serial="S250-0003" capacity=488397168 firmware="08.02D08"
  drive port=3 model="SIMDISK S160" serial="S160-0004" capacity=312581808 firmware="07.01C05"
  drive port=4 model="SIMDISK S160" serial="S160-0005" capacity=312581808 firmware="07.01C05"
  drive port=5 model="SIMDISK S160" serial="S160-0006" capacity=312581808 firmware="07.01C05"
  drive port=6 model="SIMDISK S160" serial="S160-0007" capacity=312581808 firmware="07.01C05"
  drive port=7 model="SIMDISK S250" serial="S250-0008" capacity=488397168 firmware="08.02D08"
  drive port=8 model="SIMDISK S120" serial="S120-0009" capacity=234441648 firmware="06.00A02"
  drive port=9 model="SIMDISK S120" serial="S120-0010" capacity=234441648 firmware="06.00A02"
  unit number=0 type=raid5 drives=0,1,2 stripe=64
  unit number=1 type=raid10 drives=3,4,5,6 stripe=64 status=rebuilding failed=5 progress=40
  unit number=2 type=raid1 drives=8,9 status=degraded failed=9
  event code=0x000A param=9
  event code=0x0002 param=2
  event code=0x000B param=1

controller index=2 driver=dq-Mxxx arch=6 model="QX-6200-8" serial="M2B0000002" firmware="FE9X 3.08.00.016" ports=8 memory=234881024
  param table=0x403 id=26 value=u32:0x44   # host bus: PCI-X, 100 MHz, 64 bits
  drive port=0 model="SIMDISK S500" serial="S500-0001" capacity=976773168 firmware="02.AA1"
  drive port=1 model="SIMDISK S500" serial="S500-0002" capacity=976773168 firmware="02.AA1"
  drive port=2 model="SIMDISK S500" serial="S500-0003" capacity=976773168 firmware="02.AA1"
  drive port=3 model="SIMDISK S500" serial="S500-0004" capacity=976773168 firmware="02.AA1"
  drive port=5 model="SIMDISK S500" serial="S500-0006" capacity=976773168 firmware="02.AA1"
  drive port=6 model="SIMDISK S750" serial="S750-0001" capacity=1465149168 firmware="03.BB2"
  drive port=7 model="SIMDISK S750" serial="S750-0002" capacity=1465149168 firmware="03.BB2"
  unit number=0 type=raid5 drives=0,1,2 stripe=64
  unit number=1 type=raid1 drives=3,-   # degraded: its second drive was pulled from port 4
  unit number=2 type=spare drives=5
  battery serial="BBU2B0417" firmware="BBU 3.02.00.004" installed="12-Mar-2024" last-test="02-Jun-2025" capacity=72 celsius=29
  event code=0x0055 severity=3 ago=86400
  event code=0x0056 severity=3 ago=80100
  event code=0x000C severity=3 text="unit=0" ago=79800
  event code=0x0007 severity=3 text="unit=0" ago=61200
  event code=0x0019 severity=2 text="port=4" ago=5400
  event code=0x0002 severity=1 text="unit=1" ago=5395
  enclosure number=0 type=safte vendor="SIMSAFTE" product="SIM-SAFTE-4" slots=4 fans=2 power-supplies=2 temp-sensors=1 door-locks=1 alarms=1
  event code=0x0031 severity=3 text="" description="Synchronize host/controller time"

controller index=3 driver=dq-sas arch=8 model="QX-8800-4i" serial="S3C0000003" firmware="FH9X 4.10.00.027" ports=8 phys=8 memory=536870912
  param table=0x403 id=26 value=u32:0x2200 # host bus: PCIe, 5.0 Gbps per lane, 8 lanes
  drive port=0 model="SIMDISK X1000" serial="X1K-0001" capacity=1953525168 firmware="SN04" interface=sas enclosure=0 slot=0
  drive port=1 model="SIMDISK X1000" serial="X1K-0002" capacity=1953525168 firmware="SN04" interface=sas enclosure=0 slot=1
  drive port=2 model="SIMDISK X1000" serial="X1K-0003" capacity=1953525168 firmware="SN04" interface=sas enclosure=0 slot=2
  drive port=3 model="SIMDISK X1000" serial="X1K-0004" capacity=1953525168 firmware="SN04" interface=sas enclosure=0 slot=3
  drive port=4 model="SIMDISK S1000" serial="S1K-0001" capacity=1953525168 firmware="CC45" enclosure=0 slot=4
  drive port=5 model="SIMDISK S1000" serial="S1K-0002" capacity=1953525168 firmware="CC45" enclosure=0 slot=5
  drive port=6 model="SIMDISK S1000" serial="S1K-0003" capacity=1953525168 firmware="CC45" enclosure=0 slot=6
  drive port=7 model="SIMDISK S1000" serial="S1K-0004" capacity=1953525168 firmware="CC45" enclosure=0 slot=7
  unit number=0 type=raid6 drives=0,1,2,3 stripe=256 luns=2   # two LUNs of 1 TB each
  unit number=1 type=raid1 drives=4,5 status=rebuilding member=1 progress=410
  unit number=2 type=spare drives=6
  phy number=0 expander=1   # a wide port to the enclosure's expander; phys 4 to 7 unused
  phy number=1 expander=1
  phy number=2 expander=1
  phy number=3 expander=1
  battery serial="BBU3C1088" firmware="BBU 3.04.00.011" installed="28-Aug-2024" last-test="14-May-2025" capacity=48 celsius=33
  enclosure number=0 type=ses kind=2 vendor="SIMENC" product="SIM-SES-JBOD-12" revision="0110" inquiry-text="Brannic 12-bay storage module" serial="SESENC0000000300" slots=12 fans=2 temp-sensors=2 power-supplies=2 door-locks=1 alarms=1
  event code=0x0019 severity=2 text="port=3" ago=172800
  event code=0x0002 severity=1 text="unit=0" ago=172795
  event code=0x001A severity=3 text="port=3" ago=171000
  event code=0x000B severity=3 text="unit=0" ago=170940
  event code=0x0005 severity=3 text="unit=0" ago=150000
  event code=0x004E severity=3 ago=7500
  event code=0x0050 severity=3 ago=3600
  event code=0x000B severity=3 text="unit=1" ago=1800
)";
}

}  // namespace sim

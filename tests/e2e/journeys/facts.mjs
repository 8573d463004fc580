// What the journeys expect of each simulated machine: the default machine
// (sim/default_scenario.cpp, with a drive inserted in port 4 of its second
// controller and no battery backup unit on its third), the machine of
// hostile texts (tests/e2e/hostile_machine.scenario) and the scheduling
// machine (tests/e2e/schedule_machine.scenario).
const defaultMachine = {
  options: ['Controller ID 1 (QX-2400-12)', 'Controller ID 2 (QX-6200-8)', 'Controller ID 3 (QX-8800-4i)'],
  navigate: {
    summaryRow: ['2', 'QX-6200-8', 'M2B0000002', 'FE9X 3.08.00.016'],
    unitName: '',
    driveModel: 'SIMDISK S500',
    phys: 8,
  },
  create: { c: 1, ports: ['4', '6', '7'], unit: 3, questions: [] },
  settings: {
    c: 2,
    names: ['', '', ''],
    invalid: 'The following unit(s) have names with invalid characters: 1',
    saved: ['vol#1+a=b', 'mirror?', ''],
  },
  firmware: { c: 2, version: 'FH9X 4.12.00.001', current: 'FH9X 4.10.00.027' },
  alarms: {
    c: 1,
    newest: '(0x04:0x000B): Rebuild started: browser=1',
    newestColour: '#0000FF',
    worst: 'unit=1',
    worstColour: '#FF0000',
    help: '/help/AEN_0002.html',
  },
  enclosures: {
    c: 2,
    summaryRow: ['0', 'OK', 'SIMENC', 'SIM-SES-JBOD-12', '12', '8', '2', '2', '2'],
    details: ['SIMENC', 'SIM-SES-JBOD-12', '0110'],
  },
};

const hostileMachine = {
  options: ['Controller ID 1 (QX-2400-12)', 'Controller ID 2 (</script>"\'\\<b>)', 'Controller ID 3 (QX-8800-4i)'],
  navigate: {
    summaryRow: ['2', '</script>"\'\\<b>', "<b>S'1</b>\\", 'F\\W é"'],
    unitName: '</script><b>"\'\\ü',
    migrating: 'RAID 5',
    driveModel: '<img src=x onerror=pwned(2)>',
    phys: 4,
  },
  create: {
    c: 1, ports: ['4', '6', '7'], unit: 3, mix: { c: 2, ports: ['8', '9'] },
    questions: ['You do not have a battery backup unit installed, enabling write cache may cause loss of data in the event of power failure.  Do you wish to continue?'],
  },
  settings: {
    c: 2,
    names: ['<img src=z>"\'\\', '</script>é\'"\\', '<b>"\'\\ü</b>'],
    invalid: 'The following unit(s) have names with invalid characters: 0,1,2',
    saved: ['vol#1+a=b', 'mirror?', 'größe_ü'],
  },
  firmware: { c: 1, version: '</script>"\'\\<b>', current: 'F\\W é"' },
  alarms: {
    c: 2,
    newest: '(0x04:0x000B): Rebuild <b>"\'\\</script> é: <svg onload=pwned(7)>',
    newestColour: '#0000FF',
    worst: '</script><img src=z onerror=pwned(6)>"\'\\ é',
    worstColour: '#D8D800',
    help: '/help/AEN_0019.html',
  },
  enclosures: {
    c: 2,
    summaryRow: ['0', 'OK', '\'"\\<i>', '<b>"\'\\</script>', '12', '8', '2', '2', '2'],
    details: ['\'"\\<i>', '<b>"\'\\</script>', '<u>\\'],
  },
};

const scheduleMachine = {
  options: ['Controller ID 1 (QX-2400-4)', 'Controller ID 2 (QX-6200-8)', 'Controller ID 3 (QX-8800-4i)',
            'Controller ID 4 (QX-6200-4)'],
};

export const machines = { default: defaultMachine, hostile: hostileMachine, schedule: scheduleMachine };

"""What the Python tests, the soak run and the benchmarks share: the daemon
run in a folder of its own (harness), the trackside simulators (sim), the
watchdog driver and its loopback peer (watchdog), the service's expected
lines (service), a built tool run natively or under Wine (tool_process),
the installer packages' build folders (packages), a seeded journal
(journal_gen), strict readers of the journal, the status snapshot and the
administrator events (records) and a test executable run away from the
runner's pipe (run_detached).

Imported as a package: every caller runs with tests/support on PYTHONPATH
(CTest's test properties, and the scripts that run tests outside it)."""

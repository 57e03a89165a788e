"""The runs of the benchmarks and the writing of bench/report.md, driven by run_bench.py."""

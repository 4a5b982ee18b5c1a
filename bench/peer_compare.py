#!/usr/bin/python3
"""Records the same scripted Xvfb workload with our recorder and with ffmpeg's
x11grab (libx264 ultrafast, and lossless libx264rgb -qp 0), and prints the CPU
seconds (the recorder's own plus the X server's extra) and the output bytes of
each side, with their ratios.

    bench/peer_compare.py [--seconds 10] [--driver build/bench/bench/record_driver]

Workloads: a still, detailed desktop; an xterm into which xdotool types about
16 characters a second. Each run gets a fresh X server set up the same way.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

WIDTH, HEIGHT = 1920, 1080
TICK = os.sysconf("SC_CLK_TCK")
TEXT = ("the quick brown fox jumps over the lazy dog 0123456789 " * 20)


def paint_desktop(path):
    from PIL import Image, ImageDraw
    image = Image.new("RGB", (WIDTH, HEIGHT))
    draw = ImageDraw.Draw(image)
    for y in range(HEIGHT):
        draw.line([(0, y), (WIDTH, y)], fill=(20 + y // 20, 60 + y // 30, 120))
    for index, (left, top, right, bottom) in enumerate(
            [(100, 80, 1000, 800), (700, 200, 1800, 950), (60, 860, 600, 1040)]):
        draw.rectangle([left, top, right, bottom], fill=(244, 244, 244), outline=(90, 90, 90))
        draw.rectangle([left, top, right, top + 28], fill=(47, 85, 151))
        for line in range((bottom - top - 40) // 16):
            words = TEXT[(line * 7 + index * 13) % 200:][: (right - left - 20) // 6]
            draw.text((left + 10, top + 36 + line * 16), words, fill=(30, 30, 30))
    draw.rectangle([0, HEIGHT - 40, WIDTH, HEIGHT], fill=(30, 30, 30))
    image.save(path + ".png")
    subprocess.run(["convert", path + ".png", "xwd:" + path], check=True)


def process_cpu(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


class Display:
    def __init__(self, desktop, typing):
        read_fd, write_fd = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{WIDTH}x{HEIGHT}x24", "-noreset",
             "-nolisten", "tcp"], pass_fds=[write_fd], stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_fd, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(read_fd)
        self.name = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.name)
        # The picture as a window at the top-left corner: there is no window manager to move it.
        self.helpers = [subprocess.Popen(["xwud", "-in", desktop], env=self.env, stderr=subprocess.DEVNULL)]
        time.sleep(1.0)
        self.typing = typing
        if typing:
            self.helpers.append(subprocess.Popen(
                ["xterm", "-geometry", "120x40+300+200", "-fa", "Monospace", "-fs", "11"], env=self.env,
                stderr=subprocess.DEVNULL))
            time.sleep(1.5)
            subprocess.run(["xdotool", "mousemove", "700", "500"], env=self.env, check=True)
        time.sleep(0.5)

    def start_workload(self, seconds):
        if self.typing:
            chars = int(seconds * 16)
            # 62 ms between keys: about 16 characters a second.
            self.helpers.append(subprocess.Popen(
                ["xdotool", "type", "--delay", "62", TEXT[:chars]], env=self.env))

    def close(self):
        for helper in self.helpers:
            helper.kill()
            helper.wait()
        self.server.terminate()
        self.server.wait()


def run_side(command, desktop, typing, seconds, output):
    display = Display(desktop, typing)
    try:
        server_before = process_cpu(display.server.pid)
        display.start_workload(seconds)
        if command is None:
            time.sleep(seconds)
            child_cpu = 0.0
        else:
            child = subprocess.Popen(command(display.name, output), env=display.env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            _, status, usage = os.wait4(child.pid, 0)
            if status != 0:
                raise RuntimeError(f"{command(display.name, output)[0]} failed ({status})")
            child_cpu = usage.ru_utime + usage.ru_stime
        server_cpu = process_cpu(display.server.pid) - server_before
    finally:
        display.close()
    size = os.path.getsize(output) if command is not None and os.path.exists(output) else 0
    return child_cpu, server_cpu, size


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--driver", default=os.path.join(os.path.dirname(__file__), "..", "build", "bench",
                                                         "bench", "record_driver"))
    args = parser.parse_args()
    for tool in ["Xvfb", "ffmpeg", "xterm", "xdotool", "xwud", "convert"]:
        if shutil.which(tool) is None:
            sys.exit(f"peer_compare: {tool} is missing (scripts/deps installs it)")
    seconds = args.seconds
    driver = os.path.abspath(args.driver)
    ffmpeg_input = lambda name: ["ffmpeg", "-nostdin", "-loglevel", "error", "-f", "x11grab", "-framerate", "25",
                                 "-video_size", f"{WIDTH}x{HEIGHT}", "-i", name, "-t", str(seconds)]
    sides = [
        ("ours PNG", lambda name, out: [driver, "--seconds", str(seconds), "--kind", "2", "--out", out]),
        ("ours JPEG", lambda name, out: [driver, "--seconds", str(seconds), "--kind", "1", "--out", out]),
        ("ffmpeg x264 ultrafast", lambda name, out: ffmpeg_input(name) + [
            "-c:v", "libx264", "-preset", "ultrafast", "-y", out + ".mp4"]),
        ("ffmpeg x264rgb qp0", lambda name, out: ffmpeg_input(name) + [
            "-c:v", "libx264rgb", "-preset", "ultrafast", "-qp", "0", "-y", out + ".mkv"]),
    ]
    with tempfile.TemporaryDirectory() as folder:
        desktop = os.path.join(folder, "desktop.xwd")
        paint_desktop(desktop)
        print(f"{seconds:g} s at 25 fps, {WIDTH}x{HEIGHT}; CPU in seconds, X server's part above its idle run")
        print("| workload | recorder | recorder CPU | X server extra | total CPU | bytes | CPU vs ffmpeg | bytes vs lossless |")
        print("|---|---|---:|---:|---:|---:|---:|---:|")
        for workload, typing in [("still desktop", False), ("typing", True)]:
            _, baseline, _ = run_side(None, desktop, typing, seconds, "")
            results = {}
            for name, command in sides:
                out = os.path.join(folder, name.replace(" ", "_"))
                wrapped = command
                if name.startswith("ffmpeg"):
                    suffix = ".mp4" if "ultrafast" in name and "rgb" not in name else ".mkv"
                    cpu, server, _ = run_side(wrapped, desktop, typing, seconds, out)
                    size = os.path.getsize(out + suffix)
                else:
                    cpu, server, size = run_side(wrapped, desktop, typing, seconds, out)
                results[name] = (cpu, max(server - baseline, 0.0), size)
            reference_cpu = sum(results["ffmpeg x264 ultrafast"][:2])
            lossless_bytes = results["ffmpeg x264rgb qp0"][2]
            for name, (cpu, server, size) in results.items():
                total = cpu + server
                print(f"| {workload} | {name} | {cpu:.2f} | {server:.2f} | {total:.2f} | {size} | "
                      f"{reference_cpu / total if total else float('inf'):.1f}x less | "
                      f"{size / lossless_bytes if lossless_bytes else 0:.2f} |")
            sys.stdout.flush()


if __name__ == "__main__":
    main()

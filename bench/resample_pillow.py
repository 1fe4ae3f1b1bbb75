"""Times Pillow shrinking the same picture as resample_bench (1920x1080 -> 889x500, LANCZOS).

usage: resample_pillow.py PICTURE [SECONDS]; prints megapixels of source per second.
"""
import sys
import time

from PIL import Image


def main():
    picture = Image.open(sys.argv[1]).convert("RGB")
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 3.0
    picture.resize((889, 500), Image.LANCZOS)  # warm-up
    runs = 0
    start = time.perf_counter()
    while True:
        picture.resize((889, 500), Image.LANCZOS)
        runs += 1
        elapsed = time.perf_counter() - start
        if elapsed >= seconds:
            break
    megapixels = picture.width * picture.height / 1e6
    print("%.1f" % (megapixels * runs / elapsed))


if __name__ == "__main__":
    main()

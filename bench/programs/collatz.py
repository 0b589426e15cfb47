total = 0
i = 1
while i <= 100000:
    n = i
    while n != 1:
        if n % 2 == 0:
            n = n // 2
        else:
            n = 3 * n + 1
        total += 1
    i += 1
assert total == 10753840
